#pragma once

#include "Utilities/Notifications.h"
#include "Views/MenuBar/list/CardFrameKey.h"

#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>
#include <optional>

// The main list's selection rules, free of widgets: clicks, the rubber band and arrow keys.
// Frames are the cards' frames in the list's content coordinates (CardFrameKey); the
// list's widgets feed them the live geometry and write back what these rules return.
namespace CardSelection {

// A press becomes a rubber band once the pointer is this far from where it went down.
inline constexpr qreal bandStartDistance = 5;
// A band this small or smaller in both directions still selects but is not drawn.
inline constexpr qreal bandDrawLimit = 4;
// An arrow key only reaches cards whose centre lies more than this far ahead.
inline constexpr qreal arrowDeadZone = 4;
// Cards whose top edges lie closer than this count as one row when nothing is selected.
inline constexpr qreal rowTolerance = 4;

// The selection after a click on the card of `id`: Ctrl toggles it in the selection,
// a plain click selects it alone.
QSet<QString> clickSelection(const QSet<QString>& selected, const QString& id, bool toggling);

// Whether a drag from `start` to `now` has gone far enough to start a band.
bool startsBand(QPointF start, QPointF now);

// The band between the drag's start and where it is now.
QRectF selectionRect(QPointF origin, QPointF current);

// Whether the band is drawn: wider or taller than bandDrawLimit.
bool isBandDrawn(const QRectF& band);

// The ids of the cards whose frames the band touches (edges included, so a band that is a
// plain line still selects what it crosses).
QSet<QString> idsInBand(const CardFrameKey::Value& frames, const QRectF& band);

// The selection while the band is at `band`: exactly what it touches, or with `adding`
// (Ctrl held) the current selection plus what it touches, so cards stay selected when the
// band shrinks away from them.
QSet<QString> bandSelection(
    const QSet<QString>& selected, const CardFrameKey::Value& frames, const QRectF& band, bool adding);

// The card an arrow key selects, or none when the selection stays as it is. With a
// selected card on screen: the nearest card in that direction, scored by the distance
// along the direction plus twice the distance across it (the first of equal scores wins);
// none when no card lies that way. Without one: the top-left card.
std::optional<QString> arrowTarget(
    const CardFrameKey::Value& frames, const QSet<QString>& selected, NavDirection direction);

// The nearest card from `reference` in `direction` as arrowTarget scores it.
std::optional<QString> neighbour(const CardFrameKey::Value& frames, const QString& reference, NavDirection direction);

// The top-left card: the highest one, and of cards whose tops lie less than rowTolerance
// apart, the leftmost.
std::optional<QString> topLeftCard(const CardFrameKey::Value& frames);

} // namespace CardSelection
