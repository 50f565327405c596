#include "platform/linux/PortalSettings.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace PortalSettings {

namespace {
    const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
    const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
} // namespace

void read(const QDBusConnection& bus, const QString& group, const QString& key, QObject* context,
    std::function<void(const QVariant& value)> take)
{
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Read"));
    call << group << key;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, take = std::move(take)] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        // A desktop without the key answers with an error: the setting stays unknown.
        if (!reply.isError())
            take(unwrapped(reply.argumentAt(0)));
    });
}

bool subscribe(QDBusConnection bus, QObject* receiver, const char* slot)
{
    // The bus looks the slot's parameter types up by name, which finds QDBusVariant only once
    // it is registered; until something else happened to do that, the connection failed.
    qRegisterMetaType<QDBusVariant>();
    return bus.isConnected() && bus.connect(service, path, interface, QStringLiteral("SettingChanged"), receiver, slot);
}

QVariant unwrapped(QVariant value)
{
    // Read wraps the value in one variant more than the change signal does.
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace PortalSettings
