#pragma once

#include "Models/VelmoraJSON.h"

#include <QString>

// An account of a backend project: the account a local library was last synced with.
struct SyncOwner {
    QString projectURL; // the backend project address
    QString userID; // the account's id, UUID text

    // Both keys required.
    static SyncOwner fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const SyncOwner& a, const SyncOwner& b);
};
size_t qHash(const SyncOwner& owner, size_t seed = 0);
