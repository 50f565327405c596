#include "PortalRemoteDesktopKeyboard.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcPortalKeyboard, "velmora.portal.keyboard")

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString backEndPrefix = QStringLiteral("org.freedesktop.impl.portal.desktop.");
const QString backEndRemoteDesktop = QStringLiteral("org.freedesktop.impl.portal.RemoteDesktop");
constexpr uint keyboardDevice = 1;
constexpr int endKeysym = 0xff57;
constexpr int pasteKeysym = 0x1008ff6d; // XF86Paste
// Leads each series of keys: it types nothing and is no modifier.
constexpr int leadKeysym = 0xff13; // Pause
// A process that carries the keys and does not answer within this is taken as stopped: the
// trigger is left as typed rather than keys sent into a queue nobody reads.
constexpr int answerMilliseconds = 250;

QString objectPath(const QVariant& value)
{
    if (value.canConvert<QDBusObjectPath>() && value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}
} // namespace

PortalRemoteDesktopKeyboard::PortalRemoteDesktopKeyboard(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

PortalRemoteDesktopKeyboard::~PortalRemoteDesktopKeyboard()
{
    if (m_state == State::ready) {
        m_bus.call(QDBusMessage::createMethodCall(portalService, m_session,
                       QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")),
            QDBus::NoBlock);
    }
}

void PortalRemoteDesktopKeyboard::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

bool PortalRemoteDesktopKeyboard::canPost()
{
    if (m_state == State::ready)
        return carriersAnswer();
    if (m_state != State::idle)
        return false;
    if (!m_bus.isConnected()) {
        setState(State::unavailable);
        return false;
    }
    setState(State::asking);
    request(QStringLiteral("CreateSession"), {},
        {{QStringLiteral("session_handle_token"), QStringLiteral("velmora%1").arg(m_requests)}},
        [this](const QVariantMap& results) {
            m_session = objectPath(results.value(QStringLiteral("session_handle")));
            if (m_session.isEmpty())
                return fail();
            m_bus.connect(portalService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                QStringLiteral("Closed"), this, SLOT(takeClosed()));
            request(QStringLiteral("SelectDevices"), {QVariant::fromValue(QDBusObjectPath(m_session))},
                {{QStringLiteral("types"), keyboardDevice}}, [this](const QVariantMap&) {
                    request(QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_session)), QString()}, {},
                        [this](const QVariantMap& started) {
                            if (!(started.value(QStringLiteral("devices")).toUInt() & keyboardDevice))
                                return fail();
                            followCarriers();
                        });
                });
        });
    return false;
}

void PortalRemoteDesktopKeyboard::followCarriers()
{
    QDBusConnectionInterface* names = m_bus.interface();
    const QStringList registered = names ? names->registeredServiceNames().value() : QStringList();
    if (!names || !registered.contains(portalService))
        return fail();
    m_carriers.insert(portalService, QString());
    QStringList backEnds;
    for (const QString& name : registered) {
        if (name.startsWith(backEndPrefix))
            backEnds.append(name);
    }
    // Only the back ends that offer a remote desktop carry the keys (GNOME's, KDE's, ...). Asked
    // without waiting: a back end may live in this very process.
    auto unanswered = std::make_shared<qsizetype>(backEnds.size());
    const auto follow = [this, unanswered] {
        if ((*unanswered > 0 && --*unanswered > 0) || m_state != State::asking)
            return;
        QDBusConnectionInterface* names = m_bus.interface();
        auto* watcher = new QDBusServiceWatcher(this);
        watcher->setConnection(m_bus);
        watcher->setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
        watcher->setWatchedServices(m_carriers.keys());
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &PortalRemoteDesktopKeyboard::takeOwnerChange);
        // Looked up once watched, so that no change can fall in between.
        for (auto carrier = m_carriers.begin(); carrier != m_carriers.end(); ++carrier) {
            carrier.value() = names->serviceOwner(carrier.key()).value();
            if (carrier.value().isEmpty())
                return fail();
        }
        setState(State::ready);
    };
    if (backEnds.isEmpty())
        return follow();
    for (const QString& name : std::as_const(backEnds)) {
        QDBusMessage introspect = QDBusMessage::createMethodCall(
            name, portalPath, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        introspect.setAutoStartService(false);
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(introspect, 2000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, name, follow] {
            watcher->deleteLater();
            const QDBusPendingReply<QString> reply = *watcher;
            if (reply.isValid() && reply.value().contains(backEndRemoteDesktop))
                m_carriers.insert(name, QString());
            follow();
        });
    }
}

bool PortalRemoteDesktopKeyboard::carriersAnswer()
{
    for (auto carrier = m_carriers.cbegin(); carrier != m_carriers.cend(); ++carrier) {
        // By its unique name, which no restarted process can take over.
        QDBusMessage ping = QDBusMessage::createMethodCall(
            carrier.value(), QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        ping.setAutoStartService(false);
        const QDBusMessage reply = m_bus.call(ping, QDBus::Block, answerMilliseconds);
        if (reply.type() == QDBusMessage::ReplyMessage)
            continue;
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
            qCInfo(lcPortalKeyboard).noquote() << carrier.key() << "did not answer: a trigger is left as typed";
        } else {
            qCInfo(lcPortalKeyboard).noquote() << carrier.key() << "is gone:" << reply.errorMessage();
            fail();
        }
        return false;
    }
    return m_state == State::ready;
}

void PortalRemoteDesktopKeyboard::takeOwnerChange(const QString& name, const QString&, const QString& newOwner)
{
    if (m_carriers.contains(name) && m_carriers.value(name) != newOwner) {
        qCInfo(lcPortalKeyboard).noquote() << name << "left the bus: the remote-desktop session is gone";
        fail();
    }
}

void PortalRemoteDesktopKeyboard::request(
    const QString& method, QVariantList arguments, QVariantMap options, std::function<void(const QVariantMap&)> next)
{
    // The request object's path is known before the call, so that its answer cannot come
    // before we listen for it.
    const QString token = QStringLiteral("velmora%1").arg(++m_requests);
    QString sender = m_bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    m_requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_next = std::move(next);
    m_bus.connect(portalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Response"), this, SLOT(takeResponse(uint, QVariantMap)));
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop, method);
    arguments.append(options);
    call.setArguments(arguments);
    // The user may take as long as they like to answer; the call itself answers at once.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isError())
            fail();
    });
}

void PortalRemoteDesktopKeyboard::takeResponse(uint response, const QVariantMap& results)
{
    m_bus.disconnect(portalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Response"), this, SLOT(takeResponse(uint, QVariantMap)));
    std::function<void(const QVariantMap&)> next = std::exchange(m_next, nullptr);
    if (m_state != State::asking)
        return;
    // 1: the user cancelled; 2: the portal refused or failed.
    if (response != 0 || !next)
        return fail();
    next(results);
}

void PortalRemoteDesktopKeyboard::takeClosed()
{
    fail();
}

void PortalRemoteDesktopKeyboard::fail()
{
    m_next = nullptr;
    // Nothing more reaches the application: keys not sent yet are lost.
    m_lostPresses += queuedPresses();
    m_queued.clear();
    setState(State::unavailable);
}

std::optional<int> PortalRemoteDesktopKeyboard::keysymFor(int key)
{
    if (key == Qt::Key_End)
        return endKeysym;
    if (key == Qt::Key_Paste)
        return pasteKeysym;
    return std::nullopt;
}

void PortalRemoteDesktopKeyboard::sendKeysym(int keysym, bool press)
{
    m_queued.append({keysym, press});
    sendNextKey();
}

qsizetype PortalRemoteDesktopKeyboard::queuedPresses() const
{
    return std::count_if(m_queued.cbegin(), m_queued.cend(),
        [](const std::pair<int, bool>& key) { return key.second && key.first != leadKeysym; });
}

void PortalRemoteDesktopKeyboard::sendNextKey()
{
    if (m_pressing || m_queued.isEmpty() || m_state != State::ready)
        return;
    // Named apart rather than bound as a pair: clang 14 captures no structured binding.
    const std::pair<int, bool> next = m_queued.takeFirst();
    const int keysym = next.first;
    const bool press = next.second;
    if (press)
        m_down.append(keysym);
    else
        m_down.removeAll(keysym);
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, remoteDesktop, QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keysym << uint(press ? 1 : 0);
    // Calls sent to the portal together can reach the compositor in another order (measured: a
    // Ctrl+V that arrived as a plain "v"): a press goes once the key before it has been answered.
    // A release may be overtaken by the next press, which changes nothing where no key is a
    // modifier, and the key after the paste (End) follows it the sooner: a key the user types in
    // between lands in front of the keys typed before it.
    ++m_inFlight;
    m_pressing = press;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, keysym, press] {
        watcher->deleteLater();
        --m_inFlight;
        if (press)
            m_pressing = false;
        if (watcher->isError()) {
            // A portal that refuses a key has no session for us any more.
            qCInfo(lcPortalKeyboard).noquote() << "A key was refused:" << watcher->error().message();
            m_lostPresses += press && keysym != leadKeysym ? 1 : 0;
            m_down.clear();
            return fail();
        }
        sendNextKey();
    });
    if (!press)
        sendNextKey();
}

bool PortalRemoteDesktopKeyboard::post(qint64, const QList<SyntheticKeyEvent>& events)
{
    if (m_state != State::ready) {
        canPost();
        return false;
    }
    QList<int> keysyms;
    for (const SyntheticKeyEvent& event : events) {
        const std::optional<int> keysym = keysymFor(event.key);
        if (!keysym || event.modifiers != Qt::NoModifier)
            return false;
        keysyms.append(*keysym);
    }
    // The compositor can lose the first key from a keyboard right after another keyboard's (seen
    // with XWayland clients; a lost paste key left the trigger selected for the user's next key):
    // a series begins with a tap of a key that types nothing.
    if (!keysPending() && !events.isEmpty()) {
        sendKeysym(leadKeysym, true);
        sendKeysym(leadKeysym, false);
    }
    for (qsizetype index = 0; index < events.size(); ++index)
        sendKeysym(keysyms.at(index), events.at(index).press);
    return true;
}

qsizetype PortalRemoteDesktopKeyboard::withdrawPending()
{
    const qsizetype presses = queuedPresses();
    m_queued.clear();
    // What is down (or on its way down) goes up again; nothing else is sent.
    for (const int keysym : std::as_const(m_down))
        m_queued.append({keysym, false});
    sendNextKey();
    return presses + std::exchange(m_lostPresses, 0);
}
