#pragma once

#include "Views/Components/ViewStyle.h"

#include <QWidget>

// The material behind the popover's content. Behind the window, it makes its top-level
// window see-through where a compositing manager runs, asks for the desktop to be blurred
// where the window system offers that, and paints the material over it: nearly opaque
// without blur so that text stays readable over any desktop, lighter with blur, opaque on
// a desktop without compositing. Within the window it paints the material over the
// window's own content. An optional tint is painted over the material.
//
// A window can only be made see-through before it first appears: build the background
// inside its window (directly or through its parents) before the window is shown.
class VisualEffectBackground : public QWidget {
    Q_OBJECT
public:
    enum class Material { hudWindow, regular };
    enum class BlendingMode { behindWindow, withinWindow };
    enum class Backdrop { opaque, translucent, blurred };

    VisualEffectBackground(Material material, BlendingMode blendingMode, QWidget* parent = nullptr);

    Material material() const { return m_material; }
    void setMaterial(Material material);
    BlendingMode blendingMode() const { return m_blendingMode; }
    // Behind the window takes effect on a window not yet shown (see above); within the
    // window stops asking for blur at once.
    void setBlendingMode(BlendingMode blendingMode);
    void setTint(ThemeColor tint);

    // What shows through the material, as found when the window was last shown.
    Backdrop backdrop() const { return m_backdrop; }
    // The material's colour over that backdrop in the current appearance.
    QColor materialColor() const;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void attachToWindow();
    void makeWindowSeeThrough();
    void updateBackdrop();

    Material m_material;
    BlendingMode m_blendingMode;
    ThemeColor m_tint = nullptr;
    Backdrop m_backdrop = Backdrop::opaque;
    QWidget* m_window = nullptr;
};
