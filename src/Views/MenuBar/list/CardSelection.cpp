#include "Views/MenuBar/list/CardSelection.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace CardSelection {

QSet<QString> clickSelection(const QSet<QString>& selected, const QString& id, bool toggling)
{
    if (!toggling)
        return {id};
    QSet<QString> result = selected;
    if (!result.remove(id))
        result.insert(id);
    return result;
}

bool startsBand(QPointF start, QPointF now)
{
    return QLineF(start, now).length() >= bandStartDistance;
}

QRectF selectionRect(QPointF origin, QPointF current)
{
    return QRectF(std::min(origin.x(), current.x()), std::min(origin.y(), current.y()),
        std::abs(current.x() - origin.x()), std::abs(current.y() - origin.y()));
}

bool isBandDrawn(const QRectF& band)
{
    return band.width() > bandDrawLimit || band.height() > bandDrawLimit;
}

QSet<QString> idsInBand(const CardFrameKey::Value& frames, const QRectF& band)
{
    QSet<QString> ids;
    for (const CardFrameKey::Entry& entry : frames) {
        const QRectF& f = entry.frame;
        if (f.left() <= band.right() && band.left() <= f.right() && f.top() <= band.bottom()
            && band.top() <= f.bottom())
            ids.insert(entry.id);
    }
    return ids;
}

QSet<QString> bandSelection(
    const QSet<QString>& selected, const CardFrameKey::Value& frames, const QRectF& band, bool adding)
{
    QSet<QString> touched = idsInBand(frames, band);
    if (adding)
        touched.unite(selected);
    return touched;
}

std::optional<QString> neighbour(const CardFrameKey::Value& frames, const QString& reference, NavDirection direction)
{
    const auto origin
        = std::find_if(frames.cbegin(), frames.cend(), [&](const CardFrameKey::Entry& e) { return e.id == reference; });
    if (origin == frames.cend())
        return std::nullopt;
    const QPointF from = origin->frame.center();
    std::optional<QString> best;
    qreal bestScore = 0;
    for (const CardFrameKey::Entry& entry : frames) {
        if (entry.id == reference)
            continue;
        const qreal dx = entry.frame.center().x() - from.x();
        const qreal dy = entry.frame.center().y() - from.y();
        bool ahead = false;
        qreal along = 0;
        qreal across = 0;
        switch (direction) {
        case NavDirection::up: ahead = dy < -arrowDeadZone; break;
        case NavDirection::down: ahead = dy > arrowDeadZone; break;
        case NavDirection::left: ahead = dx < -arrowDeadZone; break;
        case NavDirection::right: ahead = dx > arrowDeadZone; break;
        }
        if (!ahead)
            continue;
        if (direction == NavDirection::up || direction == NavDirection::down) {
            along = std::abs(dy);
            across = std::abs(dx);
        } else {
            along = std::abs(dx);
            across = std::abs(dy);
        }
        const qreal score = along + 2 * across;
        if (!best || score < bestScore) {
            best = entry.id;
            bestScore = score;
        }
    }
    return best;
}

std::optional<QString> topLeftCard(const CardFrameKey::Value& frames)
{
    if (frames.isEmpty())
        return std::nullopt;
    const CardFrameKey::Entry* kept = &frames.first();
    for (const CardFrameKey::Entry& entry : frames) {
        if (&entry == kept)
            continue;
        const bool sameRow = std::abs(entry.frame.top() - kept->frame.top()) < rowTolerance;
        if (sameRow ? entry.frame.left() < kept->frame.left() : entry.frame.top() < kept->frame.top())
            kept = &entry;
    }
    return kept->id;
}

std::optional<QString> arrowTarget(
    const CardFrameKey::Value& frames, const QSet<QString>& selected, NavDirection direction)
{
    if (frames.isEmpty())
        return std::nullopt;
    if (!selected.isEmpty()) {
        const QString& reference = *selected.cbegin();
        const bool onScreen = std::any_of(
            frames.cbegin(), frames.cend(), [&](const CardFrameKey::Entry& e) { return e.id == reference; });
        if (onScreen)
            return neighbour(frames, reference, direction);
    }
    return topLeftCard(frames);
}

} // namespace CardSelection
