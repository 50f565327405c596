#include "Views/MenuBar/settings/SettingsToggleRow.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalPadding = 16;
constexpr qreal knobInset = 2;
// The light appearance's off track: the muted text colour, faint enough to read as empty,
// inside an outline that stands out from the card.
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

QColor SettingsToggleRow::trackColor(bool on)
{
    // Dark: on is the text colour itself, off a grey that stands out from the dark glass
    // (a faint track there read as no control at all). Light: a solid grey when on.
    if (Theme::appearance() == Appearance::dark)
        return on ? Theme::text() : QColor(0x8e, 0x8e, 0x93);
    if (on)
        return QColor(0x63, 0x63, 0x66);
    QColor off = Theme::textMuted();
    off.setAlphaF(off.alphaF() * offTrackStrength);
    return off;
}

QColor SettingsToggleRow::knobColor(bool on)
{
    return on && Theme::appearance() == Appearance::dark ? Theme::onAccent() : QColor(Qt::white);
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
    painter.fillPath(capsule, trackColor(on));
    if (!on && Theme::appearance() == Appearance::light) {
        const QColor outline(0x86, 0x86, 0x8b);
        painter.strokePath(
            continuousRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), (track.height() - 1) / 2), QPen(outline, 1));
    }

    const qreal knob = track.height() - 2 * knobInset;
    const QRectF knobRect(
        on ? track.right() - knobInset - knob : track.left() + knobInset, track.top() + knobInset, knob, knob);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(knobRect.translated(0, 0.75));
    painter.setBrush(knobColor(on));
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
