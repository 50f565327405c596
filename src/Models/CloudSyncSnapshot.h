#pragma once

#include "Models/SyncSnapshot.h"

// The cloud's reply to a read or a write. The field names are the backend's keys.
struct CloudSyncSnapshot {
    QString user_id; // the account that owns the cloud copy
    QString revision; // the cloud's revision tag of this copy
    bool has_cloud = false; // whether the cloud already holds a snapshot for the account
    SyncSnapshot snapshot;

    // All four keys required.
    static CloudSyncSnapshot fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};
