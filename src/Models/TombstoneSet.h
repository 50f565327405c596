#pragma once

#include "Models/Tombstone.h"

#include <QList>
#include <functional>

// The library's deletion markers, one list per kind. Ids are unique within each list.
//
// The lists are written sorted by id: their order carries no meaning, and a stable order
// lets an unchanged library save to identical bytes.
struct TombstoneSet {
    QList<Tombstone> groups;
    QList<Tombstone> shortcuts;
    QList<Tombstone> customIcons;

    QList<Tombstone>& list(TombstoneKind kind);
    const QList<Tombstone>& list(TombstoneKind kind) const;

    // Each list is optional; absent or null reads as empty.
    static TombstoneSet fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    // Lists holding the same markers in any order are equal: they are written alike.
    friend bool operator==(const TombstoneSet& a, const TombstoneSet& b);

    // Whether `a` and `b` hold the same markers in any order, as `equal` compares two markers.
    static bool sameMarkers(const QList<Tombstone>& a, const QList<Tombstone>& b,
        const std::function<bool(const Tombstone&, const Tombstone&)>& equal);
};
