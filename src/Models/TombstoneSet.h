#pragma once

#include "Models/Tombstone.h"

#include <QList>

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

    friend bool operator==(const TombstoneSet&, const TombstoneSet&) = default;
};
