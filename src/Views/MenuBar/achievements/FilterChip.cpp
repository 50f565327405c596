#include "Views/MenuBar/achievements/FilterChip.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>

FilterChip::FilterChip(const QString& title, QWidget* parent)
    : PaintedButton(title, parent)
{
    setCheckable(true);
    setFont(uiFont(12));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize FilterChip::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + 24, metrics.height() + 12);
}

void FilterChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    beginPaint(painter);
    const QRectF bounds = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    const qreal radius = bounds.height() / 2;
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, radius, radius);
    const bool current = isChecked();
    // The chosen chip is filled with the text colour, as the form's chosen pill is: two
    // shades of glass could not be told apart on a light page.
    painter.fillPath(capsule,
        current            ? Theme::text()
            : underMouse() ? Theme::surfaceGlassHover()
                           : Theme::surfaceGlass());
    painter.strokePath(capsule, QPen(Theme::borderSubtle(), 0.5));
    const QColor onText = Theme::appearance() == Appearance::dark ? QColor(0x1d, 0x1d, 0x1f) : Theme::onAccent();
    if (showsKeyboardFocus(this)) {
        QPainterPath ring;
        const QRectF inner = bounds.adjusted(2, 2, -2, -2);
        ring.addRoundedRect(inner, inner.height() / 2, inner.height() / 2);
        painter.strokePath(current ? ring : capsule, QPen(current ? onText : Theme::borderSelected(), 1.5));
    }
    painter.setFont(font());
    painter.setPen(current ? onText : Theme::textSecondary());
    painter.drawText(rect(), Qt::AlignCenter, text());
}
