#include "platform/linux/DesktopMotionSettings.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString reducedMotionKey = QStringLiteral("reduced-motion");
const QString gnomeGroup = QStringLiteral("org.gnome.desktop.interface");
const QString gnomeAnimationsKey = QStringLiteral("enable-animations");
const QString kdeGroup = QStringLiteral("org.kde.kdeglobals.KDE");
const QString kdeDurationKey = QStringLiteral("AnimationDurationFactor");

// The portal's Read wraps the value in one variant more than the signal does.
QVariant unwrapped(QVariant value)
{
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

DesktopMotionSettings::DesktopMotionSettings(QDBusConnection bus, QObject* parent) : MotionSettings(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QString, QString, QDBusVariant)));
    read(appearanceGroup, reducedMotionKey);
    read(gnomeGroup, gnomeAnimationsKey);
    read(kdeGroup, kdeDurationKey);
}

bool DesktopMotionSettings::reduceMotion() const
{
    if (m_portalReduces)
        return *m_portalReduces;
    if (m_gnomeReduces)
        return *m_gnomeReduces;
    return m_kdeReduces.value_or(false);
}

void DesktopMotionSettings::read(const QString& group, const QString& key)
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    call << group << key;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, group, key] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        // A desktop without the key answers with an error: the setting stays unknown.
        if (!reply.isError())
            take(group, key, unwrapped(reply.argumentAt(0)));
    });
}

void DesktopMotionSettings::settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    take(group, key, unwrapped(value.variant()));
}

void DesktopMotionSettings::take(const QString& group, const QString& key, const QVariant& value)
{
    const bool before = reduceMotion();
    bool ok = false;
    if (group == appearanceGroup && key == reducedMotionKey) {
        const uint preference = value.toUInt(&ok);
        if (ok)
            m_portalReduces = preference == 1;
    } else if (group == gnomeGroup && key == gnomeAnimationsKey) {
        if (value.typeId() == QMetaType::Bool)
            m_gnomeReduces = !value.toBool();
    } else if (group == kdeGroup && key == kdeDurationKey) {
        const double factor = value.toDouble(&ok);
        if (ok)
            m_kdeReduces = factor <= 0;
    }
    if (reduceMotion() != before)
        Q_EMIT reduceMotionChanged(reduceMotion());
}
