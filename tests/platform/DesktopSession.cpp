#include "DesktopSession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <X11/Xlib.h>

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

namespace {

    // Whether the X input focus is on the window or one of its children.
    bool hasFocus(unsigned long window)
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return false;
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        bool within = false;
        while (focus != None && focus != PointerRoot && !within) {
            within = focus == window;
            Window root = None;
            Window parent = None;
            Window* children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display, focus, &root, &parent, &children, &count))
                break;
            if (children)
                XFree(children);
            focus = parent == root ? None : parent;
        }
        XCloseDisplay(display);
        return within;
    }

} // namespace

bool focusWindowOf(qint64 process)
{
    const unsigned long window = windowOf(process);
    if (window == 0)
        return false;
    // A window mapped a moment ago can refuse the focus (xdotool then fails at once), and on a
    // loaded machine the focus can be taken back before the test goes on: given again within a
    // bound until it is there.
    const QString id = QString::number(window);
    return waitFor([&] { return xdotool({"windowfocus", "--sync", id}) && hasFocus(window); }, 5000);
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

QStringList freshOfficeArguments(const QString& folder)
{
    QFile settings(QDir(folder).filePath(QStringLiteral("user/registrymodifications.xcu")));
    if (!QDir(folder).mkpath(QStringLiteral("user")) || !settings.open(QIODevice::WriteOnly)
        || settings.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)") < 0)
        return {};
    return {QStringLiteral("--norestore"), QStringLiteral("--nologo"),
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(folder).toString()};
}

}
