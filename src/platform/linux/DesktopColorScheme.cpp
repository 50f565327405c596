#include "platform/linux/DesktopColorScheme.h"

#include "platform/linux/PortalSettings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace {

const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// The portal's values: 0 no preference, 1 prefer dark, 2 prefer light.
constexpr uint preferDark = 1;
constexpr uint preferLight = 2;

} // namespace

DesktopColorScheme::DesktopColorScheme(QDBusConnection bus, QObject* parent)
    : SystemAppearance(parent)
    , m_bus(std::move(bus))
    , m_reported(paletteAppearance())
{
    if (qApp)
        qApp->installEventFilter(this);
    if (PortalSettings::subscribe(m_bus, this, SLOT(settingChanged(QString, QString, QDBusVariant))))
        PortalSettings::read(
            m_bus, appearanceGroup, colorSchemeKey, this, [this](const QVariant& value) { take(value); });
}

Appearance DesktopColorScheme::appearance() const
{
    return m_portalAppearance.value_or(paletteAppearance());
}

Appearance DesktopColorScheme::paletteAppearance()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Appearance::light;
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128 ? Appearance::dark : Appearance::light;
}

bool DesktopColorScheme::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        emitIfChanged();
    return false;
}

void DesktopColorScheme::settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group == appearanceGroup && key == colorSchemeKey)
        take(PortalSettings::unwrapped(value.variant()));
}

void DesktopColorScheme::take(const QVariant& value)
{
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    if (!ok)
        return;
    if (scheme == preferDark)
        m_portalAppearance = Appearance::dark;
    else if (scheme == preferLight)
        m_portalAppearance = Appearance::light;
    else
        m_portalAppearance.reset();
    emitIfChanged();
}

void DesktopColorScheme::emitIfChanged()
{
    const Appearance now = appearance();
    if (now == m_reported)
        return;
    m_reported = now;
    Q_EMIT appearanceChanged(now);
}
