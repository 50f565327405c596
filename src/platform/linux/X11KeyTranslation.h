#pragma once

#include <Qt>

typedef unsigned long KeySym;

// X keys in the terms of InputEvent. Keys are recognised by the symbol they produce, not by
// their position, so that the keys the engine treats specially work in every layout; the
// keypad's navigation keys count as the keys they stand for.
namespace X11KeyTranslation {

// The Qt key of a symbol: the named keys and the Latin-1 characters (a letter as its capital,
// as Qt names it); Qt::Key_unknown for every other symbol.
int qtKey(KeySym symbol);
// The symbol to post for a Qt key; 0 (NoSymbol) for keys we have no symbol for.
KeySym symbolForKey(int key);

// X modifier state to Qt modifiers: Shift, Ctrl, Alt, and Super as Qt::MetaModifier. AltGr,
// Caps Lock and Num Lock map to nothing: they choose characters.
Qt::KeyboardModifiers modifiers(unsigned state, unsigned altMask, unsigned superMask);

}
