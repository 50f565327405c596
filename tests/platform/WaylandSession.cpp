#include "WaylandSession.h"

#include "DesktopSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>

namespace WaylandSession {

QString missingPieces()
{
    if (qEnvironmentVariableIsEmpty("VELMORA_TEST_WAYLAND_DISPLAY"))
        return QStringLiteral("no headless Wayland compositor (sway and wtype from Debian did not start or are not "
                              "installed); run under scripts/with-desktop.sh");
    return DesktopSession::missingPieces();
}

QProcessEnvironment environment(Client client)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (client == Client::nativeWayland) {
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), qEnvironmentVariable("VELMORA_TEST_WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        environment.remove(QStringLiteral("DISPLAY"));
        // Qt's Wayland plugin leaves an allocation to the end of a sanitized test program, by
        // when the plugin is unloaded and the leak cannot be told apart from others; the
        // programs typed into are not what is tested.
        if (environment.contains(QStringLiteral("ASAN_OPTIONS")))
            environment.insert(
                QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) + ":detect_leaks=0");
    } else {
        environment.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("VELMORA_TEST_XWAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    return environment;
}

namespace {
    void collectWindows(const QJsonObject& node, QList<Window>& found)
    {
        if (node.value("pid").toInteger() > 0 && node.value("visible").toBool())
            found.append(Window{node.value("pid").toInteger(), node.value("name").toString()});
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue& child : node.value(QLatin1String(children)).toArray())
                collectWindows(child.toObject(), found);
        }
    }
} // namespace

QList<Window> windows()
{
    QProcess swaymsg;
    swaymsg.start(
        QStringLiteral("swaymsg"), {"-s", qEnvironmentVariable("VELMORA_TEST_SWAYSOCK"), "-r", "-t", "get_tree"});
    if (!DesktopSession::waitFor([&] { return swaymsg.state() == QProcess::NotRunning; }, 5000))
        return {};
    QList<Window> found;
    collectWindows(QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object(), found);
    return found;
}

bool showsWindowOf(qint64 process)
{
    const QList<Window> shown = windows();
    return std::any_of(shown.begin(), shown.end(), [&](const Window& window) { return window.process == process; });
}

bool connectsToAnXServer(qint64 process)
{
    // The server's end of each connection names the server's socket and the client's end by
    // its inode; the client's end names its process.
    QProcess ss;
    ss.start(QStringLiteral("ss"), {"-x", "-p", "-n"});
    if (!DesktopSession::waitFor([&] { return ss.state() == QProcess::NotRunning; }, 5000))
        return false;
    QSet<QByteArray> clientEnds;
    QList<QList<QByteArray>> rows;
    for (const QByteArray& line : ss.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 8)
            continue;
        // Netid State Recv-Q Send-Q Local-Address Local-Inode Peer-Address Peer-Inode [users]
        if (fields.at(4).contains(".X11-unix/"))
            clientEnds.insert(fields.at(7));
        rows.append(fields);
    }
    const QByteArray owner = "pid=" + QByteArray::number(process) + ",";
    for (const QList<QByteArray>& fields : std::as_const(rows)) {
        if (clientEnds.contains(fields.at(5)) && fields.size() > 8 && fields.at(8).contains(owner))
            return true;
    }
    return false;
}

Keyboard::Keyboard() = default;

Keyboard::~Keyboard()
{
    stop();
}

void Keyboard::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(3000);
}

bool Keyboard::attach()
{
    return run({"-s", "30000"});
}

bool Keyboard::type(const QString& text, int delayMilliseconds)
{
    // Options apply to what follows them: a pause for the keymap, the text, and a pause that
    // keeps the keyboard (and so the focus) until the next text replaces it.
    return run({"-s", "150", "-d", QString::number(delayMilliseconds), text, "-s", "30000"});
}

bool Keyboard::press(const QStringList& keys)
{
    return run(QStringList{"-s", "150"} + keys + QStringList{"-s", "30000"});
}

bool Keyboard::run(const QStringList& arguments)
{
    stop();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), qEnvironmentVariable("VELMORA_TEST_WAYLAND_DISPLAY"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral("wtype"), arguments);
    return m_process.waitForStarted(5000);
}

}
