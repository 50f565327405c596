#pragma once

#include "Models/SyncLocalTransaction.h"
#include "Models/SyncOwner.h"
#include "Models/SyncSnapshot.h"

#include <optional>

// The sync state kept on disk: the account the local library was last synced with, the last
// snapshot both sides agreed on, and the journal entry of a local apply under way.
//
// A new record (version 1, nothing else) stands for a library that was never synced; owner
// and baseline come and go together; a pending apply may stand with or without them.
struct SyncRecord {
    qint64 version = 1;
    std::optional<SyncOwner> owner;
    std::optional<SyncSnapshot> baseline;
    std::optional<SyncLocalTransaction> pending;

    // Throws SyncFailure(invalidResponse) for a wrong version, an owner without baseline or
    // the reverse, a user id that is not a UUID or a project address that is not "https";
    // a snapshot that fails its own validation throws that error unchanged.
    void validate() const;

    // Only "version" is required; the rest is read when present and written only when set.
    static SyncRecord fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};
