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

    // The application element of the process, made afresh, nothing cached; making it sends
    // no request. Nothing when the desktop knows no accessible application with that id.
    virtual std::shared_ptr<AccessibleElement> applicationElement(qint64 process) = 0;
};
