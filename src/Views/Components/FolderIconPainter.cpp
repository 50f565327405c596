#include "Views/Components/FolderIconPainter.h"

#include "Utilities/FolderIconCatalog.h"
#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

void FolderIconPainter::paint(QPainter& painter, QPointF center, qreal size, const std::optional<QString>& icon,
    const QList<CustomIcon>& customIcons, const QFont& font)
{
    QRectF square(0, 0, size, size);
    square.moveCenter(center);
    if (const std::optional<QString> svg = FolderIconCatalog::resolvedSVG(icon, customIcons)) {
        const QImage mask = FolderIconCatalog::image(*svg);
        if (!mask.isNull()) {
            drawMask(painter, square, mask);
            return;
        }
    }
    if (const std::optional<QString> text = FolderIconCatalog::textFallback(icon)) {
        const int pixelSize = qMax(1, qRound(size * 0.9));
        QFont textFont = font;
        textFont.setPixelSize(pixelSize);
        // An emoji shows in colour, like in the chooser it was picked from.
        const bool symbol = isSymbolText(*text);
        painter.save();
        painter.setFont(symbol ? emojiFont(pixelSize) : textFont);
        painter.setPen(Theme::text());
        painter.drawText(square, Qt::AlignCenter, symbol ? emojiGlyphs(*text) : *text);
        painter.restore();
        return;
    }
    const QImage folder = FolderIconCatalog::image(FolderIconCatalog::defaultSVG());
    if (!folder.isNull())
        drawMask(painter, square, folder);
}

void FolderIconPainter::drawMask(QPainter& painter, const QRectF& square, const QImage& mask)
{
    const QSizeF fitted = QSizeF(mask.size()).scaled(square.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), fitted);
    target.moveCenter(square.center());

    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (fitted * ratio).toSize().expandedTo({1, 1});
    const QRgb color = Theme::text().rgba();
    if (color != m_color) {
        m_drawn.clear();
        m_color = color;
    }
    Drawn& drawn = m_drawn[mask.cacheKey()];
    if (drawn.pixels != pixels) {
        drawn.image = FolderIconCatalog::tinted(mask.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            QColor::fromRgba(color));
        drawn.image.setDevicePixelRatio(ratio);
        drawn.pixels = pixels;
    }
    painter.drawImage(target.topLeft(), drawn.image);
}
