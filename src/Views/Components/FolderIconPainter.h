#pragma once

#include "Models/CustomIcon.h"

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QRectF>

#include <optional>

class QPainter;

// Draws an icon key the way FolderIconView shows it (see there), for widgets that paint
// icons themselves, such as a grid of many. Keeps each icon as last drawn (scaled and
// tinted) so that repaints at the same size and colour only copy pixels.
class FolderIconPainter {
public:
    // Draws `icon` centred in the `size` by `size` square around `center`. `font` gives the
    // family for keys shown as text; emoji and symbols are drawn in colour (emojiFont).
    // Silhouettes and text take `color`, the theme's text colour when it is invalid.
    void paint(QPainter& painter, QPointF center, qreal size, const std::optional<QString>& icon,
        const QList<CustomIcon>& customIcons, const QFont& font, QColor color = {});

    // `icon` drawn the same way as a menu entry's icon of `side` pixels, sharp at 1x and 2x.
    static QIcon menuIcon(const std::optional<QString>& icon, const QList<CustomIcon>& customIcons, int side);

private:
    void drawMask(QPainter& painter, const QRectF& square, const QImage& mask, const QColor& color);

    struct Drawn {
        QSize pixels;
        QImage image;
    };
    QHash<qint64, Drawn> m_drawn; // by the mask's cache key, all in m_color
    QRgb m_color = 0;
};
