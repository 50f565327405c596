#pragma once

class QWindow;

// What the window system can do for a see-through window: draw it translucent over the
// desktop (a compositing manager runs), and blur what lies behind it. The popover's
// background asks before it makes its window translucent and paints a more opaque
// material where there is no blur. Main thread only.
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

    // The installed back end; without one, windows are opaque and nothing is blurred.
    static WindowEffects& current();
    // Installs `effects` (not owned); nullptr restores the opaque default.
    static void setCurrent(WindowEffects* effects);
};
