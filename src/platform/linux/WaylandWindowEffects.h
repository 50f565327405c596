#pragma once

#include "platform/WindowEffects.h"

// Window effects on a Wayland session, where our windows are native Wayland toplevels. The
// compositor draws their corners and shadows as it draws any window's, so they stay opaque and
// uncut, and nothing asks for blur.
//
// A toplevel is given the keyboard by the compositor when it appears (sway, mutter and KWin
// all do), whatever it asks for: there are no hints to decline focus as on X11. The surfaces
// that never take the keyboard are not there for us: a popup needs a parent window on screen
// (the popover mostly is not), GNOME's compositor has no layer shell, and Qt 6.4 gives every
// window of a process the same kind of surface. So no window floats over the applications
// here; the events they would announce are recorded all the same.
class WaylandWindowEffects final : public WindowEffects {
public:
    bool translucencyAvailable() const override { return false; }
    bool blurAvailable() const override { return false; }
    void setBlurBehind(QWindow&, bool) override { }
    bool nonFocusingOverlaysAvailable() const override { return false; }
};
