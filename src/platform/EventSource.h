#pragma once

#include "platform/InputEvent.h"

#include <QString>
#include <functional>

// The session-wide watch over the user's keyboard and mouse: every key-down, modifier change,
// button press and scroll bound for any application of the session. It observes only; it
// never holds back, alters or swallows an event. Main thread only.
class EventSource {
public:
    using Handler = std::function<void(const InputEvent&)>;

    virtual ~EventSource() = default;

    // Starts delivering the events of `types` to `handler`, on the main thread, one at a time,
    // in the order they happened. The disabled notice is delivered whatever the types. Replaces
    // an earlier installation. Starts enabled. False when the desktop refuses (no permission,
    // no X server): nothing is installed then and unavailableReason() says why.
    virtual bool install(InputEventTypes types, Handler handler) = 0;

    // Stops delivering and forgets the handler; no delivery happens after this returns.
    virtual void remove() = 0;

    // Installed and still able to deliver (the connection to the desktop is alive).
    virtual bool isValid() const = 0;

    // Delivering now. The source may disable itself, reporting the disabled notice; it then
    // delivers nothing more until setEnabled(true).
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;

    // Why the last install() failed, as one sentence; empty after a successful one.
    virtual QString unavailableReason() const = 0;

    // Delivers at once, in order, the events the desktop has already reported and the source
    // has not read yet, without waiting for more. Never from inside a delivery.
    virtual void readPending() { }
};
