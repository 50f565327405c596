#include "X11KeyTranslation.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <utility>

namespace X11KeyTranslation {

namespace {

    // The first entry for a key is the symbol that is posted for it.
    constexpr std::pair<KeySym, int> namedKeys[] = {
        {XK_Return, Qt::Key_Return},
        {XK_Linefeed, Qt::Key_Return},
        {XK_Tab, Qt::Key_Tab},
        // Shift+Tab gives this symbol; it is still the Tab key.
        {XK_ISO_Left_Tab, Qt::Key_Tab},
        {XK_KP_Tab, Qt::Key_Tab},
        {XK_BackSpace, Qt::Key_Backspace},
        {XK_Escape, Qt::Key_Escape},
        {XK_KP_Enter, Qt::Key_Enter},
        {XK_Home, Qt::Key_Home},
        {XK_KP_Home, Qt::Key_Home},
        {XK_Prior, Qt::Key_PageUp},
        {XK_KP_Prior, Qt::Key_PageUp},
        {XK_Delete, Qt::Key_Delete},
        {XK_KP_Delete, Qt::Key_Delete},
        {XK_End, Qt::Key_End},
        {XK_KP_End, Qt::Key_End},
        {XK_Next, Qt::Key_PageDown},
        {XK_KP_Next, Qt::Key_PageDown},
        {XK_Left, Qt::Key_Left},
        {XK_KP_Left, Qt::Key_Left},
        {XK_Right, Qt::Key_Right},
        {XK_KP_Right, Qt::Key_Right},
        {XK_Down, Qt::Key_Down},
        {XK_KP_Down, Qt::Key_Down},
        {XK_Up, Qt::Key_Up},
        {XK_KP_Up, Qt::Key_Up},
        {XK_KP_Space, Qt::Key_Space},
    };

    bool isLatin1(KeySym symbol)
    {
        return (symbol >= XK_space && symbol <= XK_asciitilde)
            || (symbol >= XK_nobreakspace && symbol <= XK_ydiaeresis);
    }

}

int qtKey(KeySym symbol)
{
    for (const auto& [named, key] : namedKeys) {
        if (named == symbol)
            return key;
    }
    if (!isLatin1(symbol))
        return Qt::Key_unknown;
    // Qt names a letter key by its capital, which is the Latin-1 code of the capital letter.
    if (symbol >= XK_a && symbol <= XK_z)
        return int(symbol - XK_a + XK_A);
    if (symbol >= XK_agrave && symbol <= XK_thorn && symbol != XK_division)
        return int(symbol - XK_agrave + XK_Agrave);
    return int(symbol);
}

KeySym symbolForKey(int key)
{
    for (const auto& [symbol, named] : namedKeys) {
        if (named == key)
            return symbol;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return KeySym(key) - Qt::Key_A + XK_a;
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return KeySym(key);
    return NoSymbol;
}

Qt::KeyboardModifiers modifiers(unsigned state, unsigned altMask, unsigned superMask)
{
    Qt::KeyboardModifiers held;
    held.setFlag(Qt::ShiftModifier, state & ShiftMask);
    held.setFlag(Qt::ControlModifier, state & ControlMask);
    held.setFlag(Qt::AltModifier, state & altMask);
    held.setFlag(Qt::MetaModifier, state & superMask);
    return held;
}

}
