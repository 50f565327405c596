#pragma once

#include "platform/MotionSettings.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <optional>

// The desktop's wish for reduced motion, read from the desktop portal's settings on the
// session bus and followed while the application runs. The portal's own appearance key
// decides where the portal has it; otherwise the GNOME or KDE animation setting that the
// portal passes on does. Without a portal nothing is reduced.
class DesktopMotionSettings final : public MotionSettings {
    Q_OBJECT
public:
    explicit DesktopMotionSettings(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    bool reduceMotion() const override;

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void read(const QString& group, const QString& key);
    void take(const QString& group, const QString& key, const QVariant& value);

    QDBusConnection m_bus;
    std::optional<bool> m_portalReduces;
    std::optional<bool> m_gnomeReduces;
    std::optional<bool> m_kdeReduces;
};
