#include "Views/Components/WindowShape.h"

#include "platform/WindowEffects.h"

#include <QBitmap>
#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace WindowShape {

void fit(QWidget& window, const QPainterPath& shape)
{
    if (!window.isWindow())
        return;
    if (WindowEffects::current().translucencyAvailable()) {
        window.clearMask();
        return;
    }
    window.setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void fitToContent(QWidget& window)
{
    if (!window.isWindow())
        return;
    if (WindowEffects::current().translucencyAvailable()) {
        window.clearMask();
        return;
    }
    QImage image(window.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    window.setMask(opaquePart(image));
}

QRegion opaquePart(const QImage& image)
{
    // A threshold keeps the pixels at least half covered: soft shadow edges go, text stays.
    if (image.devicePixelRatio() == 1.0)
        return QRegion(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither)));
    return opaquePart(image.scaled(image.deviceIndependentSize().toSize(), Qt::IgnoreAspectRatio,
        Qt::SmoothTransformation));
}

} // namespace WindowShape
