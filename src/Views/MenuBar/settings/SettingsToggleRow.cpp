#include "Views/MenuBar/settings/SettingsToggleRow.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalPadding = 16;
constexpr qreal knobInset = 2;
// The off track: the muted text colour, faint enough to read as empty yet visible on glass.
constexpr float offTrackStrength = 0.35f;

} // namespace

SettingsToggleRow::SettingsToggleRow(const QString& label, QWidget* parent)
    : PaintedButton(label, parent)
{
    setCheckable(true);
    setFont(uiFont(13));
    setFixedHeight(fixedHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize SettingsToggleRow::sizeHint() const
{
    return {horizontalPadding * 3 + fontMetrics().horizontalAdvance(text()) + switchSize.width(), fixedHeight};
}

QSize SettingsToggleRow::minimumSizeHint() const
{
    return {horizontalPadding * 3 + switchSize.width(), fixedHeight};
}

QRectF SettingsToggleRow::switchRect() const
{
    return QRectF(width() - horizontalPadding - switchSize.width(), (height() - switchSize.height()) / 2.0,
        switchSize.width(), switchSize.height());
}

void SettingsToggleRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    beginPaint(painter);
    const QRectF track = switchRect();
    painter.setPen(Theme::text());
    painter.drawText(QRectF(horizontalPadding, 0, track.left() - 2 * horizontalPadding, height()),
        Qt::AlignVCenter | Qt::AlignLeft,
        fontMetrics().elidedText(text(), Qt::ElideRight, int(track.left()) - 2 * horizontalPadding));

    const bool on = isChecked();
    QPainterPath capsule;
    capsule.addRoundedRect(track, track.height() / 2, track.height() / 2);
    // On: a solid track the white knob stands out from (the translucent text colour is too
    // light for that in dark). Off: a faint track with an outline that stands out from the
    // card, so an empty switch still reads as a control.
    const bool dark = Theme::appearance() == Appearance::dark;
    const QColor solid = dark ? QColor(0x8e, 0x8e, 0x93) : QColor(0x63, 0x63, 0x66);
    QColor off = Theme::textMuted();
    off.setAlphaF(off.alphaF() * offTrackStrength);
    painter.fillPath(capsule, on ? solid : off);
    if (!on) {
        const QColor outline = dark ? QColor(0x8e, 0x8e, 0x93) : QColor(0x86, 0x86, 0x8b);
        painter.strokePath(
            continuousRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), (track.height() - 1) / 2), QPen(outline, 1));
    }

    const qreal knob = track.height() - 2 * knobInset;
    const QRectF knobRect(
        on ? track.right() - knobInset - knob : track.left() + knobInset, track.top() + knobInset, knob, knob);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(knobRect.translated(0, 0.75));
    painter.setBrush(QColor(Qt::white));
    painter.setPen(QPen(QColor(0, 0, 0, 30), 0.5));
    painter.drawEllipse(knobRect);

    if (showsKeyboardFocus(this)) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(Theme::borderSelected(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(
            track.adjusted(-2.5, -2.5, 2.5, 2.5), track.height() / 2 + 2.5, track.height() / 2 + 2.5);
    }
}
