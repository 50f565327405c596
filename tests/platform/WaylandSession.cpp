#include "WaylandSession.h"

#include "DesktopSession.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>

namespace WaylandSession {

namespace {

    QString displayOf(Compositor compositor)
    {
        return qEnvironmentVariable(
            compositor == Compositor::sway ? "VELMORA_TEST_WAYLAND_DISPLAY" : "VELMORA_TEST_MUTTER_WAYLAND_DISPLAY");
    }

    const QString remoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
    const QString remoteDesktopSession = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

} // namespace

QString nameOf(Compositor compositor)
{
    return compositor == Compositor::sway ? QStringLiteral("sway") : QStringLiteral("mutter");
}

QString missingPieces(Compositor compositor)
{
    if (displayOf(compositor).isEmpty())
        return compositor == Compositor::sway
            ? QStringLiteral("no headless sway (sway and wtype from Debian did not start or are not installed); run "
                             "under scripts/with-desktop.sh")
            : QStringLiteral("no headless mutter (mutter from Debian did not start or is not installed); run under "
                             "scripts/with-desktop.sh");
    return DesktopSession::missingPieces();
}

QProcessEnvironment environment(Client client, Compositor compositor)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (client == Client::nativeWayland) {
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), displayOf(compositor));
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
        environment.insert(QStringLiteral("DISPLAY"),
            qEnvironmentVariable(compositor == Compositor::sway ? "VELMORA_TEST_XWAYLAND_DISPLAY"
                                                                : "VELMORA_TEST_MUTTER_XWAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    return environment;
}

QProcessEnvironment velmoraEnvironment(Compositor compositor)
{
    const QProcessEnvironment wayland = environment(Client::nativeWayland, compositor);
    QProcessEnvironment overrides;
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"})
        overrides.insert(QLatin1String(name), wayland.value(QLatin1String(name)));
    overrides.insert(QStringLiteral("DISPLAY"),
        qEnvironmentVariable(
            compositor == Compositor::sway ? "VELMORA_TEST_XWAYLAND_DISPLAY" : "VELMORA_TEST_MUTTER_XWAYLAND_DISPLAY"));
    return overrides;
}

namespace {
    void collectWindows(const QJsonObject& node, QList<Window>& found)
    {
        if (node.value("pid").toInteger() > 0 && node.value("visible").toBool())
            found.append(Window{node.value("pid").toInteger(), node.value("name").toString(), node.value("focused").toBool()});
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue& child : node.value(QLatin1String(children)).toArray())
                collectWindows(child.toObject(), found);
        }
    }
} // namespace

// What sway answers to `swaymsg -t <question>`; nothing when it did not answer.
QJsonDocument askSway(const QString& question)
{
    QProcess swaymsg;
    swaymsg.start(
        QStringLiteral("swaymsg"), {"-s", qEnvironmentVariable("VELMORA_TEST_SWAYSOCK"), "-r", "-t", question});
    if (!DesktopSession::waitFor([&] { return swaymsg.state() == QProcess::NotRunning; }, 5000))
        return {};
    return QJsonDocument::fromJson(swaymsg.readAllStandardOutput());
}

QList<Window> windows()
{
    QList<Window> found;
    collectWindows(askSway(QStringLiteral("get_tree")).object(), found);
    return found;
}

QStringList swayInputTypes()
{
    QStringList types;
    for (const QJsonValue& input : askSway(QStringLiteral("get_inputs")).array())
        types.append(input.toObject().value(QLatin1String("type")).toString());
    return types;
}

bool showsWindowOf(qint64 process)
{
    const QList<Window> shown = windows();
    return std::any_of(shown.begin(), shown.end(), [&](const Window& window) { return window.process == process; });
}

bool focusesWindowOf(qint64 process)
{
    const QList<Window> shown = windows();
    return std::any_of(
        shown.begin(), shown.end(), [&](const Window& window) { return window.process == process && window.focused; });
}

bool focusWindowOf(qint64 process)
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"),
        {"-s", qEnvironmentVariable("VELMORA_TEST_SWAYSOCK"), QStringLiteral("[pid=%1] focus").arg(process)});
    return DesktopSession::waitFor([&] { return swaymsg.state() == QProcess::NotRunning; }, 5000)
        && DesktopSession::waitFor([&] { return focusesWindowOf(process); }, 5000);
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

Keyboard::Keyboard(Compositor compositor)
    : m_compositor(compositor)
{
}

Keyboard::~Keyboard()
{
    stop();
    if (m_typist) {
        {
            const std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_wake.notify_all();
        m_typist->wait();
    }
    if (m_bus && !m_session.isEmpty())
        m_bus->call(QDBusMessage::createMethodCall(remoteDesktop, m_session, remoteDesktopSession, "Stop"));
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
}

bool Keyboard::startRemoteDesktop()
{
    if (!m_session.isEmpty())
        return true;
    m_bus = QDBusConnection::connectToBus(
        qEnvironmentVariable("VELMORA_TEST_MUTTER_BUS"), QStringLiteral("velmora-test-mutter-keyboard"));
    const QDBusReply<QDBusObjectPath> session = m_bus->call(QDBusMessage::createMethodCall(
        remoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), remoteDesktop, "CreateSession"));
    if (!session.isValid())
        return false;
    const QDBusMessage started = m_bus->call(
        QDBusMessage::createMethodCall(remoteDesktop, session.value().path(), remoteDesktopSession, "Start"));
    if (started.type() != QDBusMessage::ReplyMessage)
        return false;
    m_session = session.value().path();
    m_typist.reset(QThread::create([this] { typeQueuedKeys(); }));
    m_typist->start();
    return true;
}

void Keyboard::queue(const QList<Key>& keys)
{
    {
        const std::lock_guard lock(m_mutex);
        m_keys += keys;
    }
    m_wake.notify_all();
}

void Keyboard::typeQueuedKeys()
{
    for (;;) {
        Key key;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_ending || !m_keys.isEmpty(); });
            if (m_ending)
                return;
            key = m_keys.takeFirst();
        }
        for (const bool pressed : {true, false}) {
            if (key.only && *key.only != pressed)
                continue;
            QDBusMessage message = QDBusMessage::createMethodCall(
                remoteDesktop, m_session, remoteDesktopSession, "NotifyKeyboardKeysym");
            message << key.keysym << pressed;
            m_bus->call(message);
        }
        // Modifiers go down and up together with the key after them.
        if (!key.only)
            QThread::msleep(key.pauseMilliseconds);
    }
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
    if (m_compositor == Compositor::mutter) {
        // mutter makes the session's keyboard, and gives windows the keyboard focus, at its first
        // key: a Shift that types nothing.
        if (!startRemoteDesktop())
            return false;
        queue({Key{0xffe1, std::nullopt}});
        return true;
    }
    return run({"-s", "30000"});
}

bool Keyboard::type(const QString& text, int delayMilliseconds)
{
    if (m_compositor == Compositor::mutter) {
        if (!startRemoteDesktop())
            return false;
        // Key symbols: Latin-1 by its code, Return and BackSpace for a line break and \b, the rest
        // by the Unicode symbol of its code point.
        QList<Key> keys;
        for (const char32_t c : text.toUcs4())
            keys.append({c == U'\n' ? 0xff0d
                    : c == U'\b'    ? 0xff08
                    : c < 0x100     ? quint32(c)
                                    : 0x01000000 + quint32(c),
                std::nullopt, delayMilliseconds});
        queue(keys);
        return true;
    }
    // Options apply to what follows them: a pause for the keymap, the text (a Backspace for each
    // \b), and a pause that keeps the keyboard (and so the focus) until the next text replaces it.
    QStringList arguments{"-s", "150", "-d", QString::number(delayMilliseconds)};
    const QStringList pieces = text.split(u'\b');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            arguments << "-k"
                      << "BackSpace";
        if (!pieces.at(i).isEmpty())
            arguments << pieces.at(i);
    }
    return run(arguments << "-s"
                         << "30000");
}

bool Keyboard::press(const QStringList& keys)
{
    if (m_compositor == Compositor::mutter) {
        static const QHash<QString, quint32> named = {{"Tab", 0xff09}, {"BackSpace", 0xff08}, {"Return", 0xff0d},
            {"space", 0x20}, {"Shift_L", 0xffe1}, {"ctrl", 0xffe3}, {"shift", 0xffe1}, {"alt", 0xffe9}};
        if (!startRemoteDesktop())
            return false;
        QList<Key> pressed;
        int pause = 25;
        for (qsizetype index = 0; index < keys.size(); ++index) {
            const QString& key = keys.at(index);
            const bool takesName
                = key == QLatin1String("-k") || key == QLatin1String("-M") || key == QLatin1String("-m");
            if ((takesName || key == QLatin1String("-d")) && index + 1 < keys.size()) {
                const QString& name = keys.at(++index);
                if (key == QLatin1String("-d")) {
                    pause = name.toInt();
                    continue;
                }
                if (!named.contains(name))
                    return false;
                pressed.append({named.value(name),
                    key == QLatin1String("-k") ? std::nullopt : std::optional(key == QLatin1String("-M")), pause});
                continue;
            }
            for (const QChar c : key)
                pressed.append({c.unicode(), std::nullopt, pause});
        }
        queue(pressed);
        return true;
    }
    return run(QStringList{"-s", "150"} + keys + QStringList{"-s", "30000"});
}

bool Keyboard::run(const QStringList& arguments)
{
    stop();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), displayOf(Compositor::sway));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral("wtype"), arguments);
    return m_process.waitForStarted(5000);
}

}
