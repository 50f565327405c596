#pragma once

#include "SessionType.h"
#include "platform/AccessibilityTrust.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

class X11Connection;

// Trusted on Linux means: the session's accessibility bus answers with IsEnabled true, so that
// applications started from now on expose their text fields; on X11 also that the X server
// offers RECORD (to watch keys) and XTEST (to paste). A Wayland session needs no more than the
// bus: typing is followed and fields are edited through it.
class LinuxAccessibilityTrust : public QObject, public AccessibilityTrust {
    Q_OBJECT
public:
    explicit LinuxAccessibilityTrust(std::shared_ptr<X11Connection> connection, SessionType session = SessionType::x11);

    bool isProcessTrusted() override;
    bool requestTrust() override;
    QString untrustedReason() override;
    bool canRequestTrust() override;

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    std::optional<bool> accessibilityEnabled();

    std::shared_ptr<X11Connection> m_connection;
    SessionType m_session;
    // The engine asks on every key. The bus announces each switch, which renews the answer;
    // it is asked again only after a while, or after a second when the announcements cannot
    // be heard.
    std::optional<bool> m_enabled;
    QDeadlineTimer m_enabledExpiry;
    bool m_hearsSwitches = false;
};
