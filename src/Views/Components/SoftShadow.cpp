#include "Views/Components/SoftShadow.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One box pass along rows (`horizontal`) or columns, with a running sum per channel.
void boxPass(QImage& image, int radius, bool horizontal)
{
    const int lines = horizontal ? image.height() : image.width();
    const int length = horizontal ? image.width() : image.height();
    const int window = 2 * radius + 1;
    std::vector<QRgb> source(static_cast<size_t>(length));
    for (int line = 0; line < lines; ++line) {
        auto pixel = [&](int i) -> QRgb& {
            return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(line))[i]
                              : reinterpret_cast<QRgb*>(image.scanLine(i))[line];
        };
        for (int i = 0; i < length; ++i)
            source[size_t(i)] = pixel(i);
        int sums[4] = {0, 0, 0, 0};
        // Beyond the ends the edge pixels continue, so the edges keep their colour.
        auto take = [&](int i, int sign) {
            const QRgb value = source[size_t(std::clamp(i, 0, length - 1))];
            sums[0] += sign * qAlpha(value);
            sums[1] += sign * qRed(value);
            sums[2] += sign * qGreen(value);
            sums[3] += sign * qBlue(value);
        };
        for (int i = -radius; i <= radius; ++i)
            take(i, 1);
        for (int i = 0; i < length; ++i) {
            pixel(i) = qRgba(sums[1] / window, sums[2] / window, sums[3] / window, sums[0] / window);
            take(i - radius, -1);
            take(i + radius + 1, 1);
        }
    }
}

} // namespace

QImage blurredImage(const QImage& image, qreal sigma)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (sigma <= 0 || result.isNull())
        return result;
    // Three passes of a box of width w have the variance 3 (w^2 - 1) / 12 = sigma^2.
    const int radius = qMax(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(result, radius, true);
        boxPass(result, radius, false);
    }
    return result;
}

void paintSoftShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, qreal radius, QPointF offset)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal sigma = radius / 2;
    const int margin = int(std::ceil(sigma * 3)) + 1;
    const QRectF bounds = shape.boundingRect();
    const QString key = QStringLiteral("velmora-shadow-%1-%2-%3-%4-%5-%6")
                            .arg(bounds.width())
                            .arg(bounds.height())
                            .arg(shape.elementCount())
                            .arg(color.rgba())
                            .arg(radius)
                            .arg(ratio);
    QPixmap shadow;
    if (!QPixmapCache::find(key, &shadow)) {
        const QSize size = (bounds.size() + QSizeF(2 * margin, 2 * margin)).toSize() * ratio;
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter shapePainter(&image);
            shapePainter.setRenderHint(QPainter::Antialiasing);
            shapePainter.scale(ratio, ratio);
            shapePainter.translate(margin - bounds.left(), margin - bounds.top());
            shapePainter.fillPath(shape, color);
        }
        shadow = QPixmap::fromImage(blurredImage(image, sigma * ratio));
        shadow.setDevicePixelRatio(ratio);
        QPixmapCache::insert(key, shadow);
    }
    painter.save();
    QPainterPath outside;
    outside.addRect(bounds.adjusted(-margin, -margin, margin, margin).translated(offset));
    painter.setClipPath(outside.subtracted(shape), Qt::IntersectClip);
    painter.drawPixmap(bounds.topLeft() + offset - QPointF(margin, margin), shadow);
    painter.restore();
}
