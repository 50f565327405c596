#pragma once

#include "Models/CloudSyncSnapshot.h"
#include "Models/SyncOwner.h"

#include <QUuid>

// A sync that stopped for the user's choice, holding both versions as that pass read them.
// An answer must quote `id`, so that it can never act on versions the user did not see.
struct SyncReview {
    enum class Reason {
        // Sync is not enabled for this sign-in yet, and the library is unlinked or linked to
        // this same account.
        firstSync,
        // Sync is not enabled yet and the library was last synced with another account.
        differentAccount,
        // Both sides changed the same component since the last agreed state.
        competingEdits,
    };

    QUuid id;
    Reason reason = Reason::firstSync;
    SyncOwner owner; // the account a choice links the library to
    QUuid generation; // the sign-in era of the pass that raised it
    SyncSnapshot local; // as read from disk
    CloudSyncSnapshot cloud; // as the cloud returned it
};
