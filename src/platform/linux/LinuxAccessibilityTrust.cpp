#include "LinuxAccessibilityTrust.h"

#include "X11Connection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace {

const QString busService = QStringLiteral("org.a11y.Bus");
const QString busPath = QStringLiteral("/org/a11y/bus");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString enabledProperty = QStringLiteral("IsEnabled");

constexpr int callTimeoutMilliseconds = 200;

QDBusMessage callProperties(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        busService, busPath, QStringLiteral("org.freedesktop.DBus.Properties"), method);
    call.setArguments(arguments);
    // The engine asks on its way to every key; a bus that hangs must not hold typing up long.
    return QDBusConnection::sessionBus().call(call, QDBus::Block, callTimeoutMilliseconds);
}

constexpr int enabledLifetimeMilliseconds = 1000;
// Asking on the first key of every burst of typing costs a blocking round trip through the
// session bus (and the bus launcher's time): with the switches heard, only now and then, in
// case the launcher was replaced.
constexpr int heardLifetimeMilliseconds = 30000;

}

// Nothing when the accessibility bus does not answer.
std::optional<bool> LinuxAccessibilityTrust::accessibilityEnabled()
{
    if (!m_enabledExpiry.hasExpired())
        return m_enabled;
    m_enabled.reset();
    if (QDBusConnection::sessionBus().isConnected()) {
        const QDBusReply<QDBusVariant> reply
            = callProperties(QStringLiteral("Get"), {statusInterface, enabledProperty});
        if (reply.isValid())
            m_enabled = reply.value().variant().toBool();
    }
    m_enabledExpiry = QDeadlineTimer(m_hearsSwitches ? heardLifetimeMilliseconds : enabledLifetimeMilliseconds);
    return m_enabled;
}

void LinuxAccessibilityTrust::propertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface != statusInterface)
        return;
    if (const auto it = changed.constFind(enabledProperty); it != changed.cend()) {
        m_enabled = it->toBool();
        m_enabledExpiry = QDeadlineTimer(heardLifetimeMilliseconds);
    } else if (invalidated.contains(enabledProperty)) {
        m_enabledExpiry = QDeadlineTimer();
    }
}

LinuxAccessibilityTrust::LinuxAccessibilityTrust(std::shared_ptr<X11Connection> connection, SessionType session)
    : m_connection(std::move(connection))
    , m_session(session)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_hearsSwitches = bus.isConnected()
        && bus.connect(busService, busPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
}

bool LinuxAccessibilityTrust::isProcessTrusted()
{
    return untrustedReason().isEmpty();
}

bool LinuxAccessibilityTrust::requestTrust()
{
    if (QDBusConnection::sessionBus().isConnected())
        callProperties(
            QStringLiteral("Set"), {statusInterface, enabledProperty, QVariant::fromValue(QDBusVariant(true))});
    m_enabledExpiry = QDeadlineTimer();
    return isProcessTrusted();
}

QString LinuxAccessibilityTrust::untrustedReason()
{
    if (m_session == SessionType::x11) {
        if (!m_connection)
            return QStringLiteral("No X11 display: expansion needs an X11 or a Wayland session.");
        if (!m_connection->hasExtension("RECORD"))
            return QStringLiteral("The X server offers no RECORD extension, so typed keys cannot be watched. "
                                  "Turn it on in the X server's configuration (Section \"Extensions\", Option \"RECORD\" \"Enable\").");
        if (!m_connection->hasExtension("XTEST"))
            return QStringLiteral("The X server offers no XTEST extension, so expansions cannot be pasted. "
                                  "Turn it on in the X server's configuration (Section \"Extensions\", Option \"XTEST\" \"Enable\").");
    }
    const std::optional<bool> enabled = accessibilityEnabled();
    if (!enabled)
        return QStringLiteral(
            "The accessibility bus (AT-SPI) does not answer: expansion needs it to reach text fields.");
    if (!*enabled)
        return QStringLiteral("Accessibility is switched off for this session.");
    return {};
}

bool LinuxAccessibilityTrust::canRequestTrust()
{
    // A Wayland session needs only the accessibility bus, which the request switches on.
    if (m_session == SessionType::wayland)
        return true;
    return m_connection && m_connection->hasExtension("RECORD") && m_connection->hasExtension("XTEST");
}
