#pragma once

#include "platform/WindowEffects.h"

#include <memory>

class WaylandLayerShell;

// Window effects on a Wayland session, where our windows are native Wayland toplevels. The
// compositor draws their corners and shadows as it draws any window's, so they stay opaque and
// uncut, and nothing asks for blur.
//
// The compositor gives a toplevel the keyboard when it appears (sway, mutter and KWin all do),
// whatever the window asks for: there is no hint to decline it as on X11. The windows that
// appear by themselves are drawn on the compositor's layer shell instead, with the keyboard
// refused, where it has one (sway and the other wlroots compositors, KWin). GNOME's compositor
// has none, and a popup needs a parent window on screen, which the popover mostly is not: there
// those windows are not shown.
class WaylandWindowEffects final : public WindowEffects {
public:
    WaylandWindowEffects();
    ~WaylandWindowEffects() override;
    WaylandWindowEffects(const WaylandWindowEffects&) = delete;
    WaylandWindowEffects& operator=(const WaylandWindowEffects&) = delete;

    bool translucencyAvailable() const override { return false; }
    bool blurAvailable() const override { return false; }
    void setBlurBehind(QWindow&, bool) override { }
    bool nonFocusingOverlaysAvailable() const override { return false; }
    bool overlaySurfacesAvailable() const override;
    std::unique_ptr<OverlaySurface> createOverlaySurface(bool pointer) override;

private:
    std::unique_ptr<WaylandLayerShell> m_layerShell;
};
