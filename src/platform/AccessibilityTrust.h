#pragma once

#include <QString>

// Whether this process may watch keys and act on other applications' UI elements. On Linux:
// the accessibility bus answers with IsEnabled true, and the X server offers RECORD and
// XTEST. Main thread only.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    virtual bool isProcessTrusted() = 0;

    // Asks the desktop to grant the trust (Linux: sets the accessibility bus's IsEnabled);
    // answers isProcessTrusted() afterwards.
    virtual bool requestTrust() = 0;

    // Why the process is not trusted (for example "No X11 display: expansion needs an X11
    // session."), empty when it is.
    virtual QString untrustedReason() = 0;

    // Whether requestTrust() can give what is missing. False when it lies beyond this
    // program (no X11 session, an X server without RECORD or XTEST): asking again would not
    // help, and the user needs the reason instead.
    virtual bool canRequestTrust() { return true; }

    // Trusted or not, an application can still refuse to let other programs edit its fields
    // (on Wayland expansion needs that of each application): the name of the last one a
    // trigger was typed into in vain, until an expansion succeeds again; empty otherwise.
    const QString& unreachableApplication() const { return m_unreachableApplication; }
    void setUnreachableApplication(const QString& name) { m_unreachableApplication = name; }

private:
    QString m_unreachableApplication;
};
