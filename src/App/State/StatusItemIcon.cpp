#include "App/State/StatusItemIcon.h"

#include <QPainter>
#include <QPen>

namespace StatusItemIcon {

namespace {

    // The mark is designed in a box 160 units wide and 144 high, v counted upwards.
    constexpr double designWidth = 160;
    constexpr double designHeight = 144;

    // 144 − 143.949 and 35.987 as the design computes them.
    constexpr double hairline = 0.05099999999998772;
    constexpr double lowerEdge = 35.986999999999995;

    struct DesignPoint {
        double u;
        double v;
    };

    constexpr DesignPoint outline[] = {
        {124.731, 144},
        {124.731, 143.949},
        {0, 143.949},
        {0, 107.962},
        {124.731, 107.962},
        {0, 71.974},
        {0, lowerEdge},
        {0, 0},
        {124.731, 0},
        {124.731, hairline},
        {160, hairline},
        {160, 144},
    };

    constexpr DesignPoint notch[] = {{0, lowerEdge}, {124.731, 71.974}, {124.731, lowerEdge}};

    template <std::size_t N> void addClosed(QPainterPath& path, const DesignPoint (&points)[N], const QRectF& box)
    {
        auto map = [&](const DesignPoint& p) {
            return QPointF(
                box.left() + box.width() * p.u / designWidth, box.bottom() - box.height() * p.v / designHeight);
        };
        path.moveTo(map(points[0]));
        for (std::size_t i = 1; i < N; ++i)
            path.lineTo(map(points[i]));
        path.closeSubpath();
    }

} // namespace

QPainterPath path(const QRectF& rect)
{
    const double scale = rect.width() / size;
    const QRectF box = rect.adjusted(inset * scale, inset * scale, -inset * scale, -inset * scale);
    QPainterPath result;
    result.setFillRule(Qt::OddEvenFill);
    addClosed(result, outline, box);
    addClosed(result, notch, box);
    return result;
}

QImage image(int pixels, const QColor& color, const QColor& halo)
{
    QImage result(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath mark = path(QRectF(0, 0, pixels, pixels));
    painter.strokePath(mark, QPen(halo, pixels / double(size), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(mark, color);
    return result;
}

QIcon icon(const QColor& color, const QColor& halo)
{
    QIcon result;
    for (const int scale : {1, 2, 3})
        result.addPixmap(QPixmap::fromImage(image(size * scale, color, halo)));
    return result;
}

} // namespace StatusItemIcon
