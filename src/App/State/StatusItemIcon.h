#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <QRectF>

// The tray icon's drawing: Velmora's mark, two shapes filled with the even-odd rule so that
// the triangle cut into the lower bar stays open.
namespace StatusItemIcon {

// The icon's size in device-independent pixels.
inline constexpr int size = 18;
// Space left free on every side of the mark.
inline constexpr double inset = 1.5;

// The mark's outline fitted into `rect` (y grows downwards, as on screen).
QPainterPath path(const QRectF& rect);

// The mark in `color` on a transparent square of `pixels` by `pixels`, with a thin halo in
// `halo` so that it stays legible on panels of either brightness.
QImage image(int pixels, const QColor& color, const QColor& halo);

// The icon at the sizes trays ask for, drawn in `color`.
QIcon icon(const QColor& color, const QColor& halo);

} // namespace StatusItemIcon
