#pragma once

#include "AtspiElement.h"
#include "AtspiFocusTracker.h"
#include "AtspiTextOffsets.h"
#include "platform/Accessibility.h"

#include <QDeadlineTimer>
#include <QHash>

// The desktop's accessibility interface through libatspi. Calls are synchronous D-Bus requests
// to the other application, each bounded by the messaging timeout; events arrive through the
// GLib main context that Qt's event loop dispatches.
class AtspiAccessibility : public Accessibility {
public:
    AtspiAccessibility();

    // Connects to the accessibility bus and starts following the focus; false when the bus
    // does not answer (queries then answer nothing, and the connection is tried again now and
    // then, as the bus may be started later).
    bool start();

    // A password field has the focus, anywhere on the desktop.
    bool isSecureEventInputEnabled() override;
    // The focused element when it belongs to the process and still holds the focus. AT-SPI
    // cannot be asked for an application's focus directly; the answer is the focus the tracker
    // last saw in this process, confirmed with a fresh request that it still holds the focus.
    std::shared_ptr<AccessibleElement> focusedElement(qint64 process) override;

private:
    // What the elements of one application share.
    struct Application {
        std::shared_ptr<AtspiTextOffsets::Unit> unit;
        AtspiElement::Toolkit toolkit = AtspiElement::Toolkit::other;
        // Thunderbird: see AccessibleElement::handlesKeysBehindPasteFirst().
        bool keysOvertakePaste = false;
    };
    const Application& applicationOf(AtspiAccessible* accessible);

    AtspiFocusTracker m_tracker;
    QDeadlineTimer m_nextStartAttempt;
    // Per application bus name.
    QHash<QString, Application> m_applications;
    // What is known of an application that did not say which toolkit it uses.
    Application m_unansweredApplication;
};
