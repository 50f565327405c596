#include "Views/Components/GlassButton.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>

GlassButton::GlassButton(Kind kind, const QString& title, QWidget* parent)
    : QAbstractButton(parent)
    , m_kind(kind)
{
    setText(title);
    setFont(uiFont(13, kind == Kind::primary ? QFont::Medium : QFont::Normal));
    setFixedHeight(fixedHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QSize GlassButton::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 40, fixedHeight};
}

QSize GlassButton::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 24, fixedHeight};
}

QPainterPath GlassButton::shape(const QRectF& bounds) const
{
    if (m_kind == Kind::danger)
        return continuousRoundedRect(bounds, dangerCornerRadius);
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    return capsule;
}

bool GlassButton::hitButton(const QPoint& pos) const
{
    return shape(rect()).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void GlassButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isDown() ? pressedOpacity : 1.0);

    const bool enabled = isEnabled();
    const bool filled = m_kind == Kind::primary && enabled;
    QColor fill;
    QColor textColor;
    QColor outline = Qt::transparent;
    switch (m_kind) {
    case Kind::primary:
    case Kind::secondary:
        fill = filled ? Theme::text() : Theme::surfaceGlass();
        textColor = !enabled ? Theme::textMuted() : filled ? Theme::onAccent() : Theme::textSecondary();
        if (!filled)
            outline = Theme::borderSubtle();
        break;
    case Kind::danger:
        fill = Theme::danger();
        fill.setAlphaF(0.06f);
        textColor = enabled ? Theme::danger() : Theme::textMuted();
        break;
    }

    painter.fillPath(shape(rect()), fill);
    if (outline.alpha() > 0)
        painter.strokePath(shape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5)), QPen(outline, 1));
    painter.setPen(textColor);
    painter.setFont(font());
    painter.drawText(
        rect(), Qt::AlignCenter | Qt::TextSingleLine, fontMetrics().elidedText(text(), Qt::ElideRight, width() - 24));

    if (showsKeyboardFocus(this)) {
        // Inside the edge, in a colour that stands out on the filled capsule as well.
        QColor ring = filled ? Theme::onAccent() : Theme::borderSelected();
        if (filled)
            ring.setAlphaF(0.55f);
        painter.setOpacity(1.0);
        painter.strokePath(shape(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5)), QPen(ring, 1.5));
    }
}
