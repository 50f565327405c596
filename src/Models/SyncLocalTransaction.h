#pragma once

#include "Models/SyncSnapshot.h"

// The journal entry of a local apply under way: what the live files held before it and what
// it writes. Both keys required.
struct SyncLocalTransaction {
    SyncSnapshot before;
    SyncSnapshot after;

    static SyncLocalTransaction fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};
