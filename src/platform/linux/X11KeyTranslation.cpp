#include "X11KeyTranslation.h"

#include "platform/InputEvent.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <utility>

namespace X11KeyTranslation {

namespace {

    // The first entry for a code is the symbol that is posted for it.
    constexpr std::pair<KeySym, quint16> namedKeys[] = {
        {XK_v, VirtualKey::v},
        {XK_V, VirtualKey::v},
        {XK_Return, VirtualKey::returnKey},
        {XK_Tab, VirtualKey::tab},
        {XK_ISO_Left_Tab, VirtualKey::tab},
        {XK_BackSpace, VirtualKey::deleteKey},
        {XK_Escape, VirtualKey::escape},
        {XK_KP_Enter, VirtualKey::keypadEnter},
        {XK_Home, VirtualKey::home},
        {XK_KP_Home, VirtualKey::home},
        {XK_Prior, VirtualKey::pageUp},
        {XK_KP_Prior, VirtualKey::pageUp},
        {XK_Delete, VirtualKey::forwardDelete},
        {XK_KP_Delete, VirtualKey::forwardDelete},
        {XK_End, VirtualKey::end},
        {XK_KP_End, VirtualKey::end},
        {XK_Next, VirtualKey::pageDown},
        {XK_KP_Next, VirtualKey::pageDown},
        {XK_Left, VirtualKey::leftArrow},
        {XK_KP_Left, VirtualKey::leftArrow},
        {XK_Right, VirtualKey::rightArrow},
        {XK_KP_Right, VirtualKey::rightArrow},
        {XK_Down, VirtualKey::downArrow},
        {XK_KP_Down, VirtualKey::downArrow},
        {XK_Up, VirtualKey::upArrow},
        {XK_KP_Up, VirtualKey::upArrow},
        {XK_space, VirtualKey::space},
        {XK_KP_Space, VirtualKey::space},
        {XK_Linefeed, VirtualKey::returnKey},
        {XK_KP_Tab, VirtualKey::tab},
    };

}

quint16 virtualKeyCode(KeySym symbol, unsigned x11KeyCode)
{
    for (const auto& [named, code] : namedKeys) {
        if (named == symbol)
            return code;
    }
    return quint16(unnamedKeyBase + (x11KeyCode & 0xff));
}

KeySym symbolForVirtualKey(quint16 virtualKeyCode)
{
    if (virtualKeyCode >= unnamedKeyBase)
        return NoSymbol;
    for (const auto& [symbol, code] : namedKeys) {
        if (code == virtualKeyCode)
            return symbol;
    }
    return NoSymbol;
}

quint64 eventFlags(unsigned state, unsigned altMask, unsigned superMask)
{
    quint64 flags = 0;
    if (state & ShiftMask)
        flags |= EventFlags::shift;
    if (state & LockMask)
        flags |= EventFlags::alphaShift;
    if (state & ControlMask)
        flags |= EventFlags::command;
    if (state & altMask)
        flags |= EventFlags::option;
    if (state & superMask)
        flags |= EventFlags::control;
    return flags;
}

}
