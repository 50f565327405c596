#pragma once

#include "platform/KeyboardPoster.h"

#include <memory>

class PostedKeyLedger;
class X11Connection;
class X11KeyboardHold;
class X11KeyboardLayout;

// Posts synthetic keys through XTest to the window that has the keyboard. XTest cannot address
// a process, so nothing is posted while another process is frontmost. XTest events take the
// server's live modifier state, so each event's modifiers are aligned to its flags (lock keys
// left as they are) and the user's put back afterwards (X11ModifierAlignment).
class X11KeyboardPoster : public KeyboardPoster {
public:
    // Without a connection (no X display) nothing can be posted.
    X11KeyboardPoster(
        std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger);

    // While `hold` holds keys, posted keys still go through to the focused window.
    void setHold(X11KeyboardHold* hold) { m_hold = hold; }

    bool isAvailable() const;
    bool post(qint64 process, const QList<SyntheticKeyEvent>& events) override;

private:
    std::shared_ptr<X11Connection> m_connection;
    const X11KeyboardLayout* m_layout;
    PostedKeyLedger& m_ledger;
    X11KeyboardHold* m_hold = nullptr;
};
