#pragma once

#include <QtGlobal>
#include <memory>

class PostedKeyLedger;
class X11Connection;
class X11KeyboardLayout;

// Posts Ctrl+V through XTest to the window that has the keyboard. XTest cannot address a
// process, so the paste is refused when another process has become frontmost; and XTest events
// take the server's live modifier state, so modifiers held at that moment are released around the
// paste (and pressed again afterwards) to keep it from becoming another shortcut.
class XTestKeySimulator {
public:
    XTestKeySimulator(std::shared_ptr<X11Connection> connection, const X11KeyboardLayout& layout,
        PostedKeyLedger& ledger);

    bool isAvailable() const;
    // False when nothing was posted.
    bool postPaste(qint64 process);

private:
    void post(unsigned keyCode, bool press);

    std::shared_ptr<X11Connection> connection_;
    const X11KeyboardLayout& layout_;
    PostedKeyLedger& ledger_;
};
