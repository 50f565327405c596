#include <gtest/gtest.h>

#include "BareXServer.h"
#include "DesktopSession.h"
#include "VelmoraProcess.h"
#include "platform/linux/X11ClipboardKeeper.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <X11/Xlib.h>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

Window clipboardOwnerOn(const QByteArray& name)
{
    Display* display = XOpenDisplay(name.constData());
    if (!display)
        return None;
    const Window owner = XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False));
    XCloseDisplay(display);
    return owner;
}

// The process of `program` in the giving-back mode on `display`, if there is one.
pid_t givingBackOn(const QByteArray& display)
{
    const QByteArray wanted = "DISPLAY=" + display;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t process = pid_t(entry.toInt(&number));
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(entry));
        QFile environment(QStringLiteral("/proc/%1/environ").arg(entry));
        if (!number || !command.open(QIODevice::ReadOnly) || !environment.open(QIODevice::ReadOnly))
            continue;
        if (command.readAll().contains(X11ClipboardKeeper::giveBackArgument)
            && environment.readAll().split('\0').contains(wanted))
            return process;
    }
    return 0;
}

bool hasEnded(pid_t process)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = status.readAll();
    const qsizetype state = line.lastIndexOf(')') + 2;
    return state >= 2 && state < line.size() && (line.at(state) == 'Z' || line.at(state) == 'X');
}

class ClipboardKeeper : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            GTEST_SKIP() << "Xvfb is not installed";
        // A bus that takes connections and never answers, as one whose session is ending.
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(m_silentBus.listen(m_folder.filePath(QStringLiteral("bus"))));
    }

    // Velmora, started on the display with the user's text entrusted, ends (killed): its
    // giving back offers the text. Answers the giving back's process.
    pid_t givingBackAfterVelmoraEnds(const BareXServer& display)
    {
        const QByteArray bus = "unix:path=" + QFile::encodeName(m_silentBus.fullServerName());
        const QByteArray program = QFile::encodeName(VelmoraProcess::programPath());
        const pid_t velmora = fork();
        if (velmora == 0) {
            setenv("DISPLAY", display.display().constData(), 1);
            setenv("DBUS_SESSION_BUS_ADDRESS", bus.constData(), 1);
            setenv("AT_SPI_BUS_ADDRESS", bus.constData(), 1);
            setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
            // Started by a launcher that had SIGTERM blocked: the mask outlives the new program.
            sigset_t terminate;
            sigemptyset(&terminate);
            sigaddset(&terminate, SIGTERM);
            sigprocmask(SIG_BLOCK, &terminate, nullptr);
            X11ClipboardKeeper keeper(QString::fromLocal8Bit(program));
            keeper.entrust({{{QStringLiteral("text/plain;charset=utf-8"), "copied by the user"}}});
            _exit(0);
        }
        int status = 0;
        waitpid(velmora, &status, 0);
        pid_t givingBack = 0;
        const bool offers = DesktopSession::waitFor(
            [&] {
                givingBack = givingBack ? givingBack : givingBackOn(display.display());
                return givingBack && clipboardOwnerOn(display.display()) != None;
            },
            8000);
        EXPECT_TRUE(offers) << "the giving back did not offer the user's text";
        return givingBack;
    }

    QTemporaryDir m_folder;
    QLocalServer m_silentBus;
};

TEST_F(ClipboardKeeper, theGivingBackTouchesNoBusAndEndsWithItsDisplayOrWhenAskedTo)
{
    for (const bool displayEnds : {true, false}) {
        BareXServer display;
        // Without -noreset it would reset between the giving back's two connections.
        ASSERT_TRUE(display.start({"-noreset"}));
        const pid_t givingBack = givingBackAfterVelmoraEnds(display);
        ASSERT_NE(givingBack, 0);
        DesktopSession::pause(300);
        EXPECT_FALSE(m_silentBus.hasPendingConnections()) << "the giving back connected to a bus";
        if (displayEnds)
            display.kill();
        else
            kill(givingBack, SIGTERM);
        const bool ended = DesktopSession::waitFor([&] { return hasEnded(givingBack); }, 5000);
        EXPECT_TRUE(ended) << (displayEnds ? "still running without its display" : "still running after SIGTERM");
        if (!ended)
            kill(givingBack, SIGKILL);
        while (m_silentBus.hasPendingConnections())
            delete m_silentBus.nextPendingConnection();
    }
}

}
