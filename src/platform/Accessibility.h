#pragma once

#include "platform/AccessibleElement.h"

#include <memory>

// The desktop's accessibility interface: the way into other applications' UI elements.
// Main thread only.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Some application has taken the keyboard for secret entry (a password prompt holding a
    // keyboard grab), so typed keys must be neither read nor acted on.
    virtual bool isSecureEventInputEnabled() = 0;

    // The element that has the keyboard focus in the application with that process id, made
    // afresh; nothing when the desktop knows no such application or it has no focus.
    virtual std::shared_ptr<AccessibleElement> focusedElement(qint64 process) = 0;
};
