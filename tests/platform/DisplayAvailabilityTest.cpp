#include <gtest/gtest.h>

#include "platform/linux/DisplayAvailability.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <X11/Xlib.h>
#include <cerrno>
#include <csignal>

namespace {

// A bare X server of its own, with the default reset policy: it resets whenever its last
// client leaves.
class BareServer {
public:
    // A display number is taken while the process its lock file names runs; servers killed
    // without their clean-up leave sockets and locks behind, which a new server replaces.
    static bool isTaken(int number)
    {
        QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(number));
        if (!lock.open(QIODevice::ReadOnly))
            return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number));
        bool ok = false;
        const pid_t owner = pid_t(lock.readAll().trimmed().toLongLong(&ok));
        return !ok || owner <= 0 || kill(owner, 0) == 0 || errno == EPERM;
    }

    bool start()
    {
        for (int number = 4200; number < 4300 && m_display.isEmpty(); ++number) {
            if (isTaken(number))
                continue;
            // A socket left behind would make the wait below end before the server is up.
            QFile::remove(QStringLiteral("/tmp/.X11-unix/X%1").arg(number));
            m_server.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(number), "-nolisten", "tcp"});
            if (!m_server.waitForStarted(5000))
                return false;
            // Connecting to see whether it is up would itself make it reset; its socket says so.
            QDeadlineTimer deadline(5000);
            while (m_server.state() != QProcess::NotRunning && !deadline.hasExpired()
                && !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                QThread::msleep(5);
            if (m_server.state() == QProcess::Running)
                m_display = QStringLiteral(":%1").arg(number).toLatin1();
        }
        return !m_display.isEmpty();
    }

    ~BareServer()
    {
        m_server.kill();
        m_server.waitForFinished();
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

} // namespace
