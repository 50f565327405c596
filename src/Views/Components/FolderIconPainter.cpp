#include "Views/Components/FolderIconPainter.h"

#include "Models/FolderIconCatalog.h"
#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QtMath>

void FolderIconPainter::paint(QPainter& painter, QPointF center, qreal size, const std::optional<QString>& icon,
    const QList<CustomIcon>& customIcons, const QFont& font, QColor color)
{
    if (!color.isValid())
        color = Theme::text();
    QRectF square(0, 0, size, size);
    square.moveCenter(center);
    if (const std::optional<QString> svg = FolderIconCatalog::resolvedSVG(icon, customIcons)) {
        const QImage mask = FolderIconCatalog::image(*svg);
        if (!mask.isNull()) {
            drawMask(painter, square, mask, color);
            return;
        }
    }
    if (const std::optional<QString> text = FolderIconCatalog::textFallback(icon)) {
        const bool symbol = isSymbolText(*text);
        QFont textFont = symbol ? emojiFont(qMax(1, qRound(size * 0.9))) : font;
        if (!symbol) {
            // Letters shrink until the whole text fits the square ("Sta" rather than "t").
            textFont.setPixelSize(qMax(1, qRound(size * 0.9)));
            const qreal width = QFontMetricsF(textFont).horizontalAdvance(*text);
            if (width > size)
                textFont.setPixelSize(qMax(1, int(size * 0.9 * size / width)));
        }
        painter.save();
        // An emoji shows in colour, like in the chooser it was picked from.
        painter.setFont(textFont);
        painter.setPen(color);
        painter.drawText(square, Qt::AlignCenter, symbol ? emojiGlyphs(*text) : *text);
        painter.restore();
        return;
    }
    const QImage folder = FolderIconCatalog::image(FolderIconCatalog::defaultSVG());
    if (!folder.isNull())
        drawMask(painter, square, folder, color);
}

QIcon FolderIconPainter::menuIcon(const std::optional<QString>& icon, const QList<CustomIcon>& customIcons, int side)
{
    QIcon result;
    FolderIconPainter painter;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(side, side) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter on(&pixmap);
        on.setRenderHint(QPainter::Antialiasing);
        painter.paint(on, QPointF(side / 2.0, side / 2.0), side, icon, customIcons, uiFont(side));
        on.end();
        result.addPixmap(pixmap);
    }
    return result;
}

void FolderIconPainter::drawMask(QPainter& painter, const QRectF& square, const QImage& mask, const QColor& tint)
{
    const QSizeF fitted = QSizeF(mask.size()).scaled(square.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), fitted);
    target.moveCenter(square.center());

    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (fitted * ratio).toSize().expandedTo({1, 1});
    const QRgb color = tint.rgba();
    if (color != m_color) {
        m_drawn.clear();
        m_color = color;
    }
    Drawn& drawn = m_drawn[mask.cacheKey()];
    if (drawn.pixels != pixels) {
        drawn.image = FolderIconCatalog::tinted(
            mask.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), QColor::fromRgba(color));
        drawn.image.setDevicePixelRatio(ratio);
        drawn.pixels = pixels;
    }
    painter.drawImage(target.topLeft(), drawn.image);
}
