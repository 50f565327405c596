#pragma once

#include "SessionType.h"
#include "platform/AccessibilityTrust.h"

#include <QDeadlineTimer>
#include <memory>
#include <optional>

class X11Connection;

// Trusted on Linux means: the session's accessibility bus answers with IsEnabled true, so that
// applications started from now on expose their text fields; on X11 also that the X server
// offers RECORD (to watch keys) and XTEST (to paste). A Wayland session needs no more than the
// bus: typing is followed and fields are edited through it.
class LinuxAccessibilityTrust : public AccessibilityTrust {
public:
    explicit LinuxAccessibilityTrust(std::shared_ptr<X11Connection> connection, SessionType session = SessionType::x11);

    bool isProcessTrusted() override;
    bool requestTrust() override;
    QString untrustedReason() override;
    bool canRequestTrust() override;

private:
    std::optional<bool> accessibilityEnabled();

    std::shared_ptr<X11Connection> m_connection;
    SessionType m_session;
    // The engine asks on every key; the bus is asked again only after a second.
    std::optional<bool> m_enabled;
    QDeadlineTimer m_enabledExpiry;
};
