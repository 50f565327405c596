#include <gtest/gtest.h>

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

// A bare X server of its own, with the default reset policy: it resets whenever its last
// client leaves.
class BareServer {
public:
    bool start()
    {
        // The server picks a free display itself and says which on its standard output.
        m_server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp"});
        if (!m_server.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!m_server.canReadLine() && m_server.state() == QProcess::Running && !deadline.hasExpired())
            m_server.waitForReadyRead(100);
        bool ok = false;
        const int number = m_server.readLine().trimmed().toInt(&ok);
        if (!ok || m_server.state() != QProcess::Running)
            return false;
        // Connecting to see whether it is up would itself make it reset; its socket says so.
        while (!deadline.hasExpired() && !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            QThread::msleep(5);
        m_display = QStringLiteral(":%1").arg(number).toLatin1();
        return true;
    }

    ~BareServer()
    {
        // Ended politely, the server removes its socket and lock file.
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished();
        }
    }

    QByteArray display() const { return m_display; }

private:
    QProcess m_server;
    QByteArray m_display;
};

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
        BareServer server;
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
