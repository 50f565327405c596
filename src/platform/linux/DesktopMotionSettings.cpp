#include "platform/linux/DesktopMotionSettings.h"

#include "platform/linux/PortalSettings.h"

namespace {

const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString reducedMotionKey = QStringLiteral("reduced-motion");
const QString gnomeGroup = QStringLiteral("org.gnome.desktop.interface");
const QString gnomeAnimationsKey = QStringLiteral("enable-animations");
const QString kdeGroup = QStringLiteral("org.kde.kdeglobals.KDE");
const QString kdeDurationKey = QStringLiteral("AnimationDurationFactor");

} // namespace

DesktopMotionSettings::DesktopMotionSettings(QDBusConnection bus, QObject* parent)
    : MotionSettings(parent)
    , m_bus(std::move(bus))
{
    if (!PortalSettings::subscribe(m_bus, this, SLOT(settingChanged(QString, QString, QDBusVariant))))
        return;
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
    PortalSettings::read(
        m_bus, group, key, this, [this, group, key](const QVariant& value) { take(group, key, value); });
}

void DesktopMotionSettings::settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    take(group, key, PortalSettings::unwrapped(value.variant()));
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
