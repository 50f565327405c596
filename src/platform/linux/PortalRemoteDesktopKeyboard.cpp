#include "PortalRemoteDesktopKeyboard.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <algorithm>
#include <iterator>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint keyboardDevice = 1;
constexpr int controlKeysym = 0xffe3;
constexpr int shiftKeysym = 0xffe1;
constexpr int altKeysym = 0xffe9;
constexpr int superKeysym = 0xffeb;
constexpr int endKeysym = 0xff57;
constexpr std::pair<Qt::KeyboardModifier, int> modifierKeysyms[] = {
    {Qt::ControlModifier, controlKeysym},
    {Qt::ShiftModifier, shiftKeysym},
    {Qt::AltModifier, altKeysym},
    {Qt::MetaModifier, superKeysym},
};

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
    if (m_state != State::idle)
        return m_state == State::ready;
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
                            setState(State::ready);
                        });
                });
        });
    return false;
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
    setState(State::unavailable);
}

std::optional<int> PortalRemoteDesktopKeyboard::keysymFor(int key)
{
    if (key == Qt::Key_End)
        return endKeysym;
    if (key < Qt::Key_A || key > Qt::Key_Z)
        return std::nullopt;
    return 'a' + (key - Qt::Key_A);
}

bool PortalRemoteDesktopKeyboard::isModifier(int keysym)
{
    return std::any_of(std::begin(modifierKeysyms), std::end(modifierKeysyms),
        [keysym](const auto& modifier) { return modifier.second == keysym; });
}

void PortalRemoteDesktopKeyboard::sendKeysym(int keysym, bool press)
{
    m_queued.append({keysym, press});
    sendNextKey();
}

void PortalRemoteDesktopKeyboard::sendNextKey()
{
    if (m_sending || m_queued.isEmpty())
        return;
    const auto [keysym, press] = m_queued.takeFirst();
    if (press)
        m_down.append(keysym);
    else
        m_down.removeAll(keysym);
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, remoteDesktop, QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keysym << uint(press ? 1 : 0);
    // Calls sent to the portal together can reach the compositor in another order (measured: a
    // Ctrl+V that arrived as a plain "v"); each key goes once the one before it has been answered.
    m_sending = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_sending = false;
        sendNextKey();
    });
}

bool PortalRemoteDesktopKeyboard::post(qint64, const QList<SyntheticKeyEvent>& events)
{
    if (!canPost())
        return false;
    QList<int> keysyms;
    for (const SyntheticKeyEvent& event : events) {
        const std::optional<int> keysym = keysymFor(event.key);
        if (!keysym)
            return false;
        keysyms.append(*keysym);
    }
    const auto holdOnly = [this](Qt::KeyboardModifiers wanted) {
        for (const auto& [modifier, keysym] : modifierKeysyms) {
            if (m_held.testFlag(modifier) != wanted.testFlag(modifier)) {
                sendKeysym(keysym, wanted.testFlag(modifier));
                m_held.setFlag(modifier, wanted.testFlag(modifier));
            }
        }
    };
    // The compositor can lose the first key from a keyboard right after another keyboard's
    // (seen with XWayland clients): were that our Ctrl, a plain "v" would replace the trigger.
    // A series begins with a tap of Ctrl, which types nothing whether it arrives or not.
    if (!keysPending() && m_held == Qt::KeyboardModifiers() && !events.isEmpty()) {
        sendKeysym(controlKeysym, true);
        sendKeysym(controlKeysym, false);
    }
    for (qsizetype index = 0; index < events.size(); ++index) {
        const SyntheticKeyEvent& event = events.at(index);
        holdOnly(event.modifiers);
        sendKeysym(keysyms.at(index), event.press);
    }
    // No modifier stays down on our keyboard for the user's next key.
    holdOnly({});
    return true;
}

qsizetype PortalRemoteDesktopKeyboard::withdrawPending()
{
    const auto presses = std::count_if(m_queued.cbegin(), m_queued.cend(),
        [](const std::pair<int, bool>& key) { return key.second && !isModifier(key.first); });
    m_queued.clear();
    // What is down (or on its way down) goes up again; nothing else is sent.
    for (const int keysym : std::as_const(m_down))
        m_queued.append({keysym, false});
    m_held = {};
    sendNextKey();
    return qsizetype(presses);
}
