#pragma once

#include <QtGlobal>

class KeyboardPoster;

// The synthetic paste, stamped so that the engine recognises its own keys.
namespace KeySimulator {

// "VELMORA" in ASCII, read as one big-endian integer.
inline constexpr quint64 marker = 0x0056454C4D4F5241;

// Posts a marked paste shortcut (V with exactly Ctrl), press then release, to the process. False when the keys could
// not be made; nothing is posted then.
bool paste(KeyboardPoster& keyboard, qint64 process);

// The same paste followed, in one go, by Ctrl+End: the caret to the end of the text.
bool pasteAndGoToEnd(KeyboardPoster& keyboard, qint64 process);

// For a keyboard whose modifiers would reach the user's keys: the paste key (XF86Paste, which
// Chromium and Firefox take as Ctrl+V), and where `goToEnd`, End, all without a modifier.
// End reaches the end of the line rather than of the text.
bool pasteWithoutModifiers(KeyboardPoster& keyboard, qint64 process, bool goToEnd);

} // namespace KeySimulator
