#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>

typedef struct _XDisplay Display;
typedef unsigned long KeySym;
class X11Connection;

// What a key means under the current keyboard layout: its key symbol and characters for a given
// modifier state, and which modifier bits it sets. Reload after every mapping change (tools such
// as xdotool rebind spare key codes while they type).
class X11KeyboardLayout {
public:
    explicit X11KeyboardLayout(Display* display);
    // The layout of the connection's display, read again whenever the keyboard mapping changes;
    // none without a connection.
    static std::unique_ptr<X11KeyboardLayout> following(X11Connection* connection);

    void reload();

    // The symbol the key produces with the modifier state (shift level, group, Caps Lock) that
    // was in force when it was pressed.
    KeySym keySymbol(unsigned keyCode, unsigned state) const;
    // The characters the key types, as UTF-16 text; empty for keys that type nothing.
    QString text(unsigned keyCode, unsigned state) const;

    // The modifier bits (ShiftMask, ControlMask, Mod1Mask, ...) that holding the key sets; 0 for
    // ordinary keys.
    unsigned modifierBits(unsigned keyCode) const { return m_modifierBits.value(keyCode); }
    // Lock keys (Caps Lock, Num Lock) toggle state; they are never held or released on a user's
    // behalf.
    bool isLockKey(unsigned keyCode) const { return m_lockKeys.contains(keyCode); }
    // The bits that the Alt/Meta keys and the Super/Hyper keys set in this layout; AltGr is in
    // neither because it types characters.
    unsigned altMask() const { return m_altMask; }
    unsigned superMask() const { return m_superMask; }

    unsigned keyCodeOf(KeySym symbol) const;

private:
    Display* m_display;
    QHash<unsigned, unsigned> m_modifierBits;
    QSet<unsigned> m_lockKeys;
    unsigned m_altMask = 0;
    unsigned m_superMask = 0;
};
