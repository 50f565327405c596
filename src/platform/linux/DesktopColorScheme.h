#pragma once

#include "platform/SystemAppearance.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <optional>

// The desktop's light or dark preference: the desktop portal's colour scheme where the desktop
// states one, else the lightness of the application palette the desktop's Qt theme provides.
// Followed while the application runs.
class DesktopColorScheme final : public SystemAppearance {
    Q_OBJECT
public:
    explicit DesktopColorScheme(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    Appearance appearance() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void take(const QVariant& value);
    void emitIfChanged();
    static Appearance paletteAppearance();

    QDBusConnection m_bus;
    // The portal's answer: dark or light; nothing while it states no preference.
    std::optional<Appearance> m_portalAppearance;
    Appearance m_reported;
};
