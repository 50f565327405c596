#pragma once

#include "Models/VelmoraJSON.h"

#include <QString>
#include <array>

// Which list of the library a deletion marker belongs to.
enum class TombstoneKind { groups, shortcuts, customIcons };

namespace TombstoneKinds {
inline constexpr std::array<TombstoneKind, 3> all{
    TombstoneKind::groups, TombstoneKind::shortcuts, TombstoneKind::customIcons};
// "groups", "shortcuts" or "customIcons": the JSON key of the kind's list.
QString rawValue(TombstoneKind kind);
} // namespace TombstoneKinds

// The marker a deleted item leaves, so that a later sync knows it was deleted here.
// `deletedAt` is ISO 8601 UTC text with whole seconds; it is kept as read and never parsed.
struct Tombstone {
    QString id;
    QString deletedAt;

    static Tombstone fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Tombstone& a, const Tombstone& b);
};
size_t qHash(const Tombstone& tombstone, size_t seed = 0);
