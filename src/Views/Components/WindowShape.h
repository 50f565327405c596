#pragma once

class QImage;
class QPainterPath;
class QRegion;
class QWidget;

// See-through windows without a compositing manager: their clear pixels would show black,
// so the window is cut to what it draws instead. Where a compositor runs, any cut is removed
// and the window's own alpha does the work.
namespace WindowShape {

// Cuts `window` to `shape` (in its own coordinates) when nothing composites it; a widget that
// is not a window is left alone.
void fit(QWidget& window, const QPainterPath& shape);
// Cuts `window` to the pixels it paints at least half opaque now, for content whose shape is
// only known by drawing it (text with a shadow).
void fitToContent(QWidget& window);
// The pixels of `image` at least half opaque, in its device-independent pixels.
QRegion opaquePart(const QImage& image);

}
