#pragma once

#include "platform/AccessibilityTrust.h"

#include <QDeadlineTimer>
#include <memory>
#include <optional>

class X11Connection;

// Trusted on Linux means: there is an X server with RECORD (to watch keys) and XTEST (to paste),
// and the session's accessibility bus answers with IsEnabled true, so that applications started
// from now on expose their text fields.
class LinuxAccessibilityTrust : public AccessibilityTrust {
public:
    explicit LinuxAccessibilityTrust(std::shared_ptr<X11Connection> connection);

    bool isProcessTrusted() override;
    bool requestTrust() override;
    QString untrustedReason() override;
    bool canRequestTrust() override;

private:
    std::optional<bool> accessibilityEnabled();

    std::shared_ptr<X11Connection> m_connection;
    // The engine asks on every key; the bus is asked again only after a second.
    std::optional<bool> m_enabled;
    QDeadlineTimer m_enabledExpiry;
};
