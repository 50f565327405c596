#pragma once

#include <QMetaType>

// One device event as the X server processed it, taken from the RECORD stream: every client's
// input passes through it, including keys that other programs synthesize with XTest.
struct X11RecordedEvent {
    enum Kind { KeyDown, KeyUp, ButtonDown };
    Kind kind = KeyDown;
    // The key code for key events, the button number for button presses (4 to 7 scroll).
    unsigned detail = 0;
    // The modifier and button state from before the event, group bits included.
    unsigned state = 0;
    // Server time in milliseconds; an autorepeated key comes as a release and a press with
    // the same time.
    unsigned long time = 0;
};

Q_DECLARE_METATYPE(X11RecordedEvent)
