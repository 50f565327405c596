#pragma once

#include "Models/AppSettings.h"
#include "Models/Stats.h"
#include "Models/UserData.h"

#include <QByteArray>
#include <optional>

// One consistent triple of library, settings and statistics: what is compared, archived,
// synced and merged.
//
// Contents are the same when their canonical JSON bytes are equal, never field by field, so
// exactly what would be written is what is compared. Comparisons never throw: content that
// cannot be encoded is the same as nothing, itself included.
struct SyncSnapshot {
    UserData data;
    AppSettings settings;
    Stats stats;

    // Throws the library's validation error, or the coder's error when the snapshot does not
    // survive being written and read back.
    void validate() const;

    // Same library (whatever the array order), same settings and same statistics.
    bool matches(const SyncSnapshot& other) const;

    // The bytes two values are compared by: the coder's output, except that statistics are
    // written compactly with their first-use flags sorted. Throws on a coding failure.
    template <class T> static QByteArray stableBytes(const T& value) { return VelmoraJSON::encode(value); }
    static QByteArray stableBytes(const Stats& stats);

    template <class T> static bool same(const T& a, const T& b)
    {
        try {
            return stableBytes(a) == stableBytes(b);
        } catch (const VelmoraError&) {
            return false;
        }
    }

    // Same items and deletion markers, whatever their array order.
    static bool sameLibrary(const UserData& a, const UserData& b);
    // A copy with every item list and marker list sorted by id (stable); nothing else changes.
    static UserData sorted(const UserData& data);

    // Three-way merge of whole components (library, then settings, then statistics): each
    // takes the side that changed since `base`; when both changed one component differently
    // the merge stops there and returns nothing, so that the user chooses.
    static std::optional<SyncSnapshot> reconcile(
        const SyncSnapshot& base, const SyncSnapshot& local, const SyncSnapshot& cloud);

    // All three keys required.
    static SyncSnapshot fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};
