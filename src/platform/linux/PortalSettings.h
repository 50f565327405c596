#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

// The desktop portal's settings (org.freedesktop.portal.Settings) on the session bus: the
// desktop's appearance and accessibility wishes, whatever the desktop.
namespace PortalSettings {

// Asks for one setting. `take` runs later on the main thread with the plain value when the
// portal has it; without a portal, or when it lacks the key, nothing happens. Dropped when
// `context` dies first.
void read(const QDBusConnection& bus, const QString& group, const QString& key, QObject* context,
    std::function<void(const QVariant& value)> take);

// Connects `slot` (const QString& group, const QString& key, const QDBusVariant& value) to
// every change the portal announces.
bool subscribe(QDBusConnection bus, QObject* receiver, const char* slot);

// The value inside however many variants the portal wrapped it in.
QVariant unwrapped(QVariant value);

} // namespace PortalSettings
