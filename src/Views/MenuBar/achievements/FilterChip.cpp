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
    painter.fillPath(capsule, current ? Theme::surfaceGlassSelected() : underMouse() ? Theme::surfaceGlassHover()
                                                                                     : Theme::surfaceGlass());
    painter.strokePath(capsule, QPen(Theme::borderSubtle(), 0.5));
    if (showsKeyboardFocus(this))
        painter.strokePath(capsule, QPen(Theme::borderSelected(), 1.5));
    painter.setFont(font());
    painter.setPen(current ? Theme::text() : Theme::textMuted());
    painter.drawText(rect(), Qt::AlignCenter, text());
}
