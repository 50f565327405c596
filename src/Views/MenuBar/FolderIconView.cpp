#include "Views/MenuBar/FolderIconView.h"

#include "Utilities/FolderIconCatalog.h"
#include "Utilities/Theme.h"

#include <QPainter>
#include <QtMath>

FolderIconView::FolderIconView(std::optional<QString> icon, qreal size, QList<CustomIcon> customIcons, QWidget* parent)
    : QWidget(parent)
    , m_icon(std::move(icon))
    , m_size(size)
    , m_customIcons(std::move(customIcons))
{
    setFixedSize(qCeil(size), qCeil(size));
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void FolderIconView::setIcon(const std::optional<QString>& icon)
{
    if (icon == m_icon)
        return;
    m_icon = icon;
    update();
}

void FolderIconView::setCustomIcons(const QList<CustomIcon>& customIcons)
{
    m_customIcons = customIcons;
    update();
}

QRectF FolderIconView::frame() const
{
    QRectF square(0, 0, m_size, m_size);
    square.moveCenter(QRectF(rect()).center());
    return square;
}

void FolderIconView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (const std::optional<QString> svg = FolderIconCatalog::resolvedSVG(m_icon, m_customIcons)) {
        const QImage mask = FolderIconCatalog::image(*svg);
        if (!mask.isNull()) {
            drawMask(painter, mask);
            return;
        }
    }
    if (const std::optional<QString> text = FolderIconCatalog::textFallback(m_icon)) {
        QFont textFont = font();
        textFont.setPixelSize(qMax(1, qRound(m_size * 0.9)));
        painter.setFont(textFont);
        painter.setPen(Theme::text());
        painter.drawText(frame(), Qt::AlignCenter, *text);
        return;
    }
    const QImage folder = FolderIconCatalog::image(FolderIconCatalog::defaultSVG());
    if (!folder.isNull())
        drawMask(painter, folder);
}

void FolderIconView::drawMask(QPainter& painter, const QImage& mask)
{
    const QSizeF fitted = QSizeF(mask.size()).scaled(frame().size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), fitted);
    target.moveCenter(frame().center());

    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (fitted * ratio).toSize().expandedTo({1, 1});
    const QRgb color = Theme::text().rgba();
    if (m_drawnMask != mask.cacheKey() || m_drawnColor != color || m_drawn.size() != pixels) {
        m_drawn = FolderIconCatalog::tinted(mask.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                            QColor::fromRgba(color));
        m_drawn.setDevicePixelRatio(ratio);
        m_drawnMask = mask.cacheKey();
        m_drawnColor = color;
    }
    painter.drawImage(target.topLeft(), m_drawn);
}
