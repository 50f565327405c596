#pragma once

#include "platform/FloatingPicture.h"
#include "platform/OverlaySurface.h"

#include <memory>

class QWindow;

// What the window system can do for our windows: draw a see-through one translucent over the
// desktop (a compositing manager runs), blur what lies behind it, and float one over the other
// applications without taking the keyboard. The popover's background asks before it makes its
// window translucent and paints a more opaque material where there is no blur. Main thread only.
class WindowEffects {
public:
    virtual ~WindowEffects() = default;

    virtual bool translucencyAvailable() const = 0;
    virtual bool blurAvailable() const = 0;
    // Asks the window system to blur the desktop behind the whole of `window` (a created
    // native window); does nothing where blur is not offered.
    virtual void setBlurBehind(QWindow& window, bool enabled) = 0;
    // Gives the keyboard to `window` (shown and mapped) even when no input event of this
    // program asked for it (a tray menu answered over D-Bus), where the window manager's
    // rules against stolen focus or a stale event time make Qt's own request fail.
    virtual void activate(QWindow& window) { (void)window; }
    // Whether a window of ours can stand over the application being typed in while the
    // keyboard stays with that application. Where it cannot, the windows that appear by
    // themselves while the user types (the time-saved label, the achievement banner, the
    // tutorial's panels) are drawn on an overlay surface, or left out where there is none
    // either: a lost key is worse than a missing decoration.
    virtual bool nonFocusingOverlaysAvailable() const { return true; }
    // Where it cannot, whether a surface that never takes the keyboard can be had instead, to
    // draw such a window on; and one such surface, which lets the pointer through unless
    // `pointer` (null where there is none).
    virtual bool overlaySurfacesAvailable() const { return false; }
    virtual std::unique_ptr<OverlaySurface> createOverlaySurface(bool pointer)
    {
        (void)pointer;
        return nullptr;
    }

    // Where a window of ours can float without taking the keyboard, a picture that follows a
    // path by itself, cheaper than a window moved at each step; null where there is none.
    virtual FloatingPicture* floatingPicture() { return nullptr; }

    // The installed back end; without one, windows are opaque and nothing is blurred.
    static WindowEffects& current();
    // Installs `effects` (not owned); nullptr restores the opaque default.
    static void setCurrent(WindowEffects* effects);
};
