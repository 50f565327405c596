#include "Views/MenuBar/forms/VisibilityPill.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int symbolPointSize = 11;
constexpr int gap = 6;

QPainterPath capsule(const QRectF& bounds)
{
    QPainterPath path;
    path.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    return path;
}

} // namespace

VisibilityPill::VisibilityPill(const QString& label, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setText(label);
    setCheckable(true);
    setFixedHeight(fixedHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QSize VisibilityPill::sizeHint() const
{
    const QFontMetrics metrics(uiFont(13, QFont::Medium));
    return {SymbolIcon::sideFor(symbolPointSize) + gap + metrics.horizontalAdvance(text()) + 32, fixedHeight};
}

QSize VisibilityPill::minimumSizeHint() const
{
    return sizeHint();
}

bool VisibilityPill::hitButton(const QPoint& pos) const
{
    return capsule(rect()).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void VisibilityPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.75);
    const bool selected = isChecked();
    const QPainterPath shape = capsule(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25));
    painter.fillPath(shape, selected ? Theme::text() : Theme::surfaceGlass());
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 0.5));

    const QColor content = selected ? Theme::onAccent() : Theme::textSecondary();
    const QFont font = uiFont(13, selected ? QFont::Medium : QFont::Normal);
    const QFontMetrics metrics(font);
    const int side = SymbolIcon::sideFor(symbolPointSize);
    const int textWidth = metrics.horizontalAdvance(text());
    const qreal left = (width() - (side + gap + textWidth)) / 2.0;
    SymbolIcon::paint(
        painter, QRectF(left, (height() - side) / 2.0, side, side), m_symbol, content, SymbolWeight::medium);
    painter.setPen(content);
    painter.setFont(font);
    painter.drawText(QRectF(left + side + gap, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());

    if (showsKeyboardFocus(this)) {
        painter.setOpacity(1.0);
        QColor ring = selected ? Theme::onAccent() : Theme::borderSelected();
        if (selected)
            ring.setAlphaF(0.55f);
        painter.strokePath(capsule(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5)), QPen(ring, 1.5));
    }
}
