#include <gtest/gtest.h>

#include "BareXServer.h"
#include "platform/linux/DisplayAvailability.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <X11/Xlib.h>

namespace {

class DisplayAvailabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            GTEST_SKIP() << "Xvfb is not installed";
    }
    void TearDown() override
    {
        DisplayAvailability::releaseProbe();
        qputenv("DISPLAY", m_display);
        qputenv("QT_QPA_PLATFORM", m_platform);
    }

    QByteArray m_display = qgetenv("DISPLAY");
    QByteArray m_platform = qgetenv("QT_QPA_PLATFORM");
};

TEST_F(DisplayAvailabilityTest, AskingAboutAFreshServerLeavesItOpenForTheApplication)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        BareXServer server;
        ASSERT_TRUE(server.start());
        qputenv("DISPLAY", server.display());
        qunsetenv("QT_QPA_PLATFORM");
        EXPECT_TRUE(DisplayAvailability::missingDisplayReason().isEmpty());
        // The application connects right after asking.
        Display* application = XOpenDisplay(server.display().constData());
        EXPECT_NE(application, nullptr) << attempt;
        DisplayAvailability::releaseProbe();
        if (application)
            XCloseDisplay(application);
    }
}

TEST(DisplayAvailabilityOnWayland, XWaylandsDisplayIsNotProbedOnAWaylandSession)
{
    const QByteArray saved[] = {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"),
        qgetenv("QT_QPA_PLATFORM")};
    // A compositor's socket that answers.
    QTemporaryDir runtime;
    QLocalServer compositor;
    ASSERT_TRUE(compositor.listen(runtime.filePath(QStringLiteral("wayland-0"))));
    // A display that cannot be opened: asking it anything would say so.
    qputenv("DISPLAY", ":4999");
    qputenv("WAYLAND_DISPLAY", QFile::encodeName(compositor.fullServerName()));
    qputenv("XDG_SESSION_TYPE", "wayland");
    qunsetenv("QT_QPA_PLATFORM");
    const QString reason = DisplayAvailability::missingDisplayReason();
    qputenv("XDG_SESSION_TYPE", "x11");
    const QString x11Reason = DisplayAvailability::missingDisplayReason();
    DisplayAvailability::releaseProbe();
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"};
    for (int i = 0; i < 4; ++i) {
        if (saved[i].isEmpty())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
    EXPECT_TRUE(reason.isEmpty()) << reason.toStdString();
    EXPECT_FALSE(x11Reason.isEmpty()) << "on an X11 session the display is what counts";
}

} // namespace
