#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

class QPainter;
class QPainterPath;

// `image` blurred as by a Gaussian of standard deviation `sigma` pixels (three box passes
// each way). The image keeps its size: callers leave a margin for what spreads out.
QImage blurredImage(const QImage& image, qreal sigma);

// The soft shadow a floating shape casts: `shape` filled with `color`, blurred by
// `radius`, moved by `offset`. Painted only outside the shape itself, so a translucent
// card does not show its own shadow through it.
void paintSoftShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, qreal radius, QPointF offset);
