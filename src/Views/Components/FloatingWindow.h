#pragma once

class QWidget;

// The windows that appear by themselves over the application the user is typing in: the
// time-saved label, the achievement banner, the tutorial's panels. They must never take the
// keyboard from it. Where the window system would give it to any new window (Wayland), such a
// window is drawn on a surface that never takes it (the layer shell of sway or KWin); where
// there is none either (GNOME), it is not shown at all: what it announces is recorded anyway.
namespace FloatingWindow {

// Whether such a window can be shown now without taking the keyboard.
bool available();
// Whether its clear pixels show what lies behind it: a compositor blends it in, or it is drawn
// on a surface of its own, which always is. Elsewhere it is cut to its shape.
bool seeThrough();
// Shows `window` (a top-level widget), or leaves it hidden and returns false where it would
// take the keyboard. Hiding, moving, fading and closing it afterwards work as for any window.
bool show(QWidget& window);

}
