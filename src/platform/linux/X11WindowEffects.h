#pragma once

#include "platform/WindowEffects.h"
#include "platform/linux/X11FloatingPicture.h"

#include <QtGlobal>

#include <memory>

typedef struct _XDisplay Display;

// Window effects on X11. Translucency needs a compositing manager, which owns the
// selection "_NET_WM_CM_S<screen>". Blur is the KDE protocol: a compositor that offers it
// keeps a property "_KDE_NET_WM_BLUR_BEHIND_REGION" on the root window, and blurs behind
// every window that carries that property (an empty region means the whole window). Other
// compositors either blur by their own configuration or not at all.
//
// Uses a connection of its own, so it answers on any Qt platform; without a display it
// reports neither effect.
class X11WindowEffects final : public WindowEffects {
public:
    X11WindowEffects();
    ~X11WindowEffects() override;
    X11WindowEffects(const X11WindowEffects&) = delete;
    X11WindowEffects& operator=(const X11WindowEffects&) = delete;

    bool translucencyAvailable() const override;
    bool blurAvailable() const override;
    void setBlurBehind(QWindow& window, bool enabled) override;
    // The same for an X window id.
    void setBlurBehind(quint64 window, bool enabled);
    // Asks the window manager as a pager would (which focus-stealing rules let through), or,
    // with no window manager, sets the input focus directly.
    void activate(QWindow& window) override;

    // Made at the first call.
    FloatingPicture* floatingPicture() override;

private:
    Display* m_display = nullptr;
    std::unique_ptr<X11FloatingPicture> m_floatingPicture;
    bool m_floatingPictureTried = false;
};
