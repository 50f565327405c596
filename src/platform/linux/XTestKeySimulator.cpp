#include "XTestKeySimulator.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11KeyboardLayout.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <QList>

namespace {

bool isDown(const char keys[32], unsigned keyCode)
{
    return keyCode < 256 && (keys[keyCode / 8] & (1 << (keyCode % 8)));
}

}

XTestKeySimulator::XTestKeySimulator(
    std::shared_ptr<X11Connection> connection, const X11KeyboardLayout& layout, PostedKeyLedger& ledger)
    : connection_(std::move(connection))
    , layout_(layout)
    , ledger_(ledger)
{
}

bool XTestKeySimulator::isAvailable() const
{
    return connection_ && connection_->hasExtension("XTEST");
}

void XTestKeySimulator::post(unsigned keyCode, bool press)
{
    ledger_.expect(press, keyCode);
    XTestFakeKeyEvent(connection_->display(), keyCode, press ? True : False, CurrentTime);
}

bool XTestKeySimulator::postPaste(qint64 process)
{
    if (!isAvailable())
        return false;
    if (process > 0) {
        const qint64 frontmost = connection_->frontmostProcess();
        if (frontmost > 0 && frontmost != process)
            return false;
    }
    Display* display = connection_->display();
    const unsigned control = layout_.keyCodeOf(XK_Control_L);
    const unsigned v = layout_.keyCodeOf(XK_v);
    if (control == 0 || v == 0)
        return false;

    char keys[32] = {};
    XQueryKeymap(display, keys);
    const bool controlHeld = isDown(keys, control);
    QList<unsigned> released;
    for (unsigned keyCode = 8; keyCode < 256; ++keyCode) {
        const unsigned bits = layout_.modifierBits(keyCode);
        if (isDown(keys, keyCode) && bits != 0 && bits != ControlMask && !layout_.isLockKey(keyCode)) {
            post(keyCode, false);
            released.append(keyCode);
        }
    }
    if (!released.isEmpty()) {
        // The server ignores the release of a key that another device (the real keyboard) holds;
        // such a key is neither expected back nor pressed again, or it would stick.
        XSync(display, False);
        XQueryKeymap(display, keys);
        for (qsizetype i = released.size() - 1; i >= 0; --i) {
            if (isDown(keys, released.at(i))) {
                ledger_.forget(false, released.at(i));
                released.removeAt(i);
            }
        }
    }

    if (!controlHeld)
        post(control, true);
    post(v, true);
    post(v, false);
    if (!controlHeld)
        post(control, false);
    for (unsigned keyCode : released)
        post(keyCode, true);
    XSync(display, False);
    connection_->processEventsSoon();
    return true;
}
