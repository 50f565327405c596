#include "DesktopSession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTimer>

namespace DesktopSession {

QString missingDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display (DISPLAY is not set); run under scripts/with-desktop.sh");
    return {};
}

QString missingPieces()
{
    if (QString display = missingDisplay(); !display.isEmpty())
        return display;
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QStringLiteral("no session D-Bus; run under scripts/with-desktop.sh");
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 1000);
    if (!address.isValid() || address.value().isEmpty())
        return QStringLiteral("no accessibility bus on the session D-Bus; run under scripts/with-desktop.sh");
    return {};
}

bool xdotool(const QStringList& arguments)
{
    // The event loop keeps running meanwhile: the code under test reacts to the keys while they
    // are typed, as it would for a user.
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    // Long enough for a window of a program that starts for the first time on a machine.
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool focusWindowOf(qint64 process)
{
    // The empty pattern keeps xdotool from taking the next command for the pattern; --all makes
    // the process id a condition instead of an alternative to it.
    return xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid", QString::number(process), "", "windowfocus",
        "--sync", "%1"});
}

unsigned long windowOf(qint64 process)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
        {"search", "--sync", "--all", "--onlyvisible", "--pid", QString::number(process), ""});
    if (!waitFor([&] { return search.state() == QProcess::NotRunning; }, 60000))
        return 0;
    return QString::fromLatin1(search.readAllStandardOutput()).split('\n').first().trimmed().toULong();
}

bool waitFor(const std::function<bool()>& condition, int milliseconds)
{
    // The loop waits as the application's own loop does (work that runs before the loop blocks
    // runs here too), woken often enough to look at the condition.
    QTimer tick;
    tick.start(2);
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void pause(int milliseconds)
{
    waitFor([] { return false; }, milliseconds);
}

}
