#include "X11KeyboardLayout.h"

#include "X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

std::unique_ptr<X11KeyboardLayout> X11KeyboardLayout::following(X11Connection* connection)
{
    if (!connection)
        return nullptr;
    auto layout = std::make_unique<X11KeyboardLayout>(connection->display());
    QObject::connect(
        connection, &X11Connection::keyboardMappingChanged, connection, [reader = layout.get()] { reader->reload(); });
    return layout;
}

X11KeyboardLayout::X11KeyboardLayout(Display* display)
    : m_display(display)
{
    reload();
}

void X11KeyboardLayout::reload()
{
    m_modifierBits.clear();
    m_lockKeys.clear();
    m_altMask = 0;
    m_superMask = 0;
    XModifierKeymap* map = XGetModifierMapping(m_display);
    if (!map)
        return;
    for (int modifier = 0; modifier < 8; ++modifier) {
        const unsigned bit = 1u << modifier;
        for (int i = 0; i < map->max_keypermod; ++i) {
            const unsigned keyCode = map->modifiermap[modifier * map->max_keypermod + i];
            if (keyCode == 0)
                continue;
            m_modifierBits[keyCode] |= bit;
            for (int level = 0; level < 2; ++level) {
                switch (XkbKeycodeToKeysym(m_display, KeyCode(keyCode), 0, level)) {
                case XK_Alt_L:
                case XK_Alt_R:
                case XK_Meta_L:
                case XK_Meta_R:
                    if (modifier > 2)
                        m_altMask |= bit;
                    break;
                case XK_Super_L:
                case XK_Super_R:
                case XK_Hyper_L:
                case XK_Hyper_R:
                    if (modifier > 2)
                        m_superMask |= bit;
                    break;
                case XK_Caps_Lock:
                case XK_Shift_Lock:
                case XK_Num_Lock: m_lockKeys.insert(keyCode); break;
                default: break;
                }
            }
        }
    }
    XFreeModifiermap(map);
}

KeySym X11KeyboardLayout::keySymbol(unsigned keyCode, unsigned state) const
{
    unsigned consumed = 0;
    KeySym symbol = NoSymbol;
    if (!XkbLookupKeySym(m_display, KeyCode(keyCode), state, &consumed, &symbol))
        return NoSymbol;
    // Caps Lock that the key type did not use itself still turns letters to capitals.
    if ((state & ~consumed & LockMask) && symbol != NoSymbol) {
        KeySym lower = NoSymbol;
        KeySym upper = NoSymbol;
        XConvertCase(symbol, &lower, &upper);
        symbol = upper;
    }
    return symbol;
}

QString X11KeyboardLayout::text(unsigned keyCode, unsigned state) const
{
    const KeySym symbol = keySymbol(keyCode, state);
    if (symbol == NoSymbol)
        return {};
    char utf8[16] = {};
    const int size = xkb_keysym_to_utf8(xkb_keysym_t(symbol), utf8, sizeof utf8);
    if (size <= 1)
        return {};
    return QString::fromUtf8(utf8, size - 1);
}

unsigned X11KeyboardLayout::keyCodeOf(KeySym symbol) const
{
    return XKeysymToKeycode(m_display, symbol);
}
