#include "Views/Components/SymbolButton.h"

#include "Utilities/Theme.h"

#include <QPainter>

SymbolButton::SymbolButton(
    const QString& symbol, qreal pointSize, SymbolWeight weight, ThemeColor color, QSize frame, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_pointSize(pointSize)
    , m_weight(weight)
    , m_color(color)
    , m_frame(frame)
{
    setFixedSize(frame);
    setFocusPolicy(Qt::TabFocus);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void SymbolButton::setSymbol(const QString& symbol)
{
    m_symbol = symbol;
    update();
}

void SymbolButton::setSymbolColor(ThemeColor color)
{
    m_color = color;
    update();
}

void SymbolButton::setCircleFill(ThemeColor fill)
{
    m_circleFill = fill;
    update();
}

void SymbolButton::setRotation(qreal degrees)
{
    m_rotation = degrees;
    update();
}

QSize SymbolButton::sizeHint() const
{
    return m_frame;
}

QRectF SymbolButton::circle() const
{
    const qreal side = qMin(width(), height());
    return {(width() - side) / 2.0, (height() - side) / 2.0, side, side};
}

bool SymbolButton::hitButton(const QPoint& pos) const
{
    if (!m_circleFill)
        return rect().contains(pos);
    const QRectF c = circle();
    const QPointF d = QPointF(pos) + QPointF(0.5, 0.5) - c.center();
    return d.x() * d.x() + d.y() * d.y() <= (c.width() / 2) * (c.width() / 2);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.75);
    const bool focusRing = showsKeyboardFocus(this);
    if (m_circleFill) {
        painter.setPen(Qt::NoPen);
        painter.setBrush((*m_circleFill)());
        // A ring drawn on the disc would vanish in its fill: the disc gives way to a gap.
        painter.drawEllipse(focusRing ? circle().adjusted(3, 3, -3, -3) : circle());
    }
    QColor color = m_color();
    if (!isEnabled())
        color = Theme::textMuted();
    const int side = SymbolIcon::sideFor(m_pointSize);
    painter.save();
    painter.translate(QRectF(rect()).center());
    painter.rotate(m_rotation);
    if (m_rotation != 0)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    SymbolIcon::paint(painter, QRectF(-side / 2.0, -side / 2.0, side, side), m_symbol, color, m_weight);
    painter.restore();
    if (focusRing) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(Theme::borderSelected(), 1.5));
        painter.setBrush(Qt::NoBrush);
        const QRectF ring = (m_circleFill ? circle() : QRectF(rect())).adjusted(0.75, 0.75, -0.75, -0.75);
        if (m_circleFill)
            painter.drawEllipse(ring);
        else
            painter.drawRoundedRect(ring, 6, 6);
    }
}
