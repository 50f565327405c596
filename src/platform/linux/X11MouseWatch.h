#pragma once

#include <memory>

class EventSource;
class PostedKeyLedger;
class X11Connection;
class X11EventSource;
class X11KeyboardLayout;

// A session-wide watch of its own, apart from the expansion engine's: the popover uses it to
// hear of a click anywhere on the desktop while it is open. Without an X display it refuses to
// install, like the engine's.
class X11MouseWatch {
public:
    X11MouseWatch();
    ~X11MouseWatch();
    X11MouseWatch(const X11MouseWatch&) = delete;
    X11MouseWatch& operator=(const X11MouseWatch&) = delete;

    EventSource& events();

private:
    std::shared_ptr<X11Connection> m_connection;
    std::unique_ptr<X11KeyboardLayout> m_layout;
    std::unique_ptr<PostedKeyLedger> m_ledger;
    std::unique_ptr<X11EventSource> m_events;
};
