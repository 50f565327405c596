#pragma once

#include "Services/SyncRemote.h"

#include <QHash>
#include <functional>

// A cloud in memory with the backend's compare-and-swap: one copy per user, a new revision
// for every write, and a refused write (SyncFailure::cloudChanged) when the expected revision
// is not the stored one. Replies come on a later turn of the current scheduler, as network
// replies do, or wait while `held`.
class MemorySyncRemote final : public SyncRemote {
public:
    struct Copy {
        QString revision;
        bool hasCloud = false;
        SyncSnapshot snapshot;
    };

    void read(const AuthCredentials& credentials, const Cancellation& cancellation,
        Completion<CloudSyncSnapshot> done) override;
    void compareAndSwap(const SyncSnapshot& next, const QString& revision, const AuthCredentials& credentials,
        const Cancellation& cancellation, Completion<CloudSyncSnapshot> done) override;

    // The user's copy; an empty cloud until someone writes.
    CloudSyncSnapshot copyOf(const QString& userID);
    // Another computer's write: a new revision holding `snapshot`.
    void store(const QString& userID, const SyncSnapshot& snapshot);

    // While set, replies wait until release().
    bool held = false;
    void release();

    int reads = 0;

private:
    Copy& copy(const QString& userID);
    void reply(
        const Cancellation& cancellation, Completion<CloudSyncSnapshot> done, std::function<CloudSyncSnapshot()> make);

    QHash<QString, Copy> m_copies;
    QList<std::function<void()>> m_heldReplies;
};
