#pragma once

#include "platform/AccessibilityTrust.h"

#include <memory>

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

private:
    std::shared_ptr<X11Connection> connection_;
};
