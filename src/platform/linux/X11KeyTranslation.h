#pragma once

#include <QtGlobal>

typedef unsigned long KeySym;

// The engine's key vocabulary (InputEvent.h) on an X keyboard. Keys are recognised by the
// symbol they produce, not by their position, so that the reset keys work in every layout; the
// keypad's navigation keys count as the keys they stand for.
namespace X11KeyTranslation {

// Key codes of keys the engine has no name for start here, above every Apple key code.
inline constexpr quint16 unnamedKeyBase = 0x1000;

quint16 virtualKeyCode(KeySym symbol, unsigned x11KeyCode);
// The symbol to post for an Apple key code; 0 (NoSymbol) for codes we have no key for.
KeySym symbolForVirtualKey(quint16 virtualKeyCode);

// X modifier state to event flags: Shift, Caps Lock, Ctrl as `command`, Alt as `option`, Super
// as `control`. AltGr and Num Lock map to nothing: AltGr types characters.
quint64 eventFlags(unsigned state, unsigned altMask, unsigned superMask);

}
