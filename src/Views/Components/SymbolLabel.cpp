#include "Views/Components/SymbolLabel.h"

#include "Utilities/Theme.h"

#include <QPainter>

SymbolLabel::SymbolLabel(const QString& name, qreal pointSize, SymbolWeight weight, ThemeColor color, QWidget* parent)
    : QWidget(parent)
    , m_name(name)
    , m_pointSize(pointSize)
    , m_weight(weight)
    , m_color(color)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void SymbolLabel::setName(const QString& name)
{
    m_name = name;
    update();
}

void SymbolLabel::setColor(ThemeColor color)
{
    m_color = color;
    update();
}

void SymbolLabel::setColor(const QColor& color)
{
    m_color = [color] { return color; };
    update();
}

void SymbolLabel::setRotation(qreal degrees)
{
    m_rotation = degrees;
    update();
}

QSize SymbolLabel::sizeHint() const
{
    const int side = SymbolIcon::sideFor(m_pointSize);
    return {side, side};
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int side = SymbolIcon::sideFor(m_pointSize);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.rotate(m_rotation);
    if (m_rotation != 0)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    SymbolIcon::paint(painter, QRectF(-side / 2.0, -side / 2.0, side, side), m_name, m_color(), m_weight);
}
