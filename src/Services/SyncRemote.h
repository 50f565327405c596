#pragma once

#include "Models/CloudSyncSnapshot.h"
#include "Services/AuthCredentials.h"
#include "Utilities/Cancellation.h"
#include "Utilities/Result.h"

// The cloud side of library sync: read the signed-in user's cloud copy, and replace it only
// when it still carries the revision last seen. Completions come back on the main thread;
// the waiting in between never blocks it.
class SyncRemote {
public:
    virtual ~SyncRemote() = default;

    virtual void read(
        const AuthCredentials& credentials, const Cancellation& cancellation, Completion<CloudSyncSnapshot> done)
        = 0;

    // A refused revision ends with SyncFailure::cloudChanged; nothing was written then.
    virtual void compareAndSwap(const SyncSnapshot& next, const QString& revision, const AuthCredentials& credentials,
        const Cancellation& cancellation, Completion<CloudSyncSnapshot> done)
        = 0;
};
