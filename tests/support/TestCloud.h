#pragma once

#include "ManualScheduler.h"
#include "Services/SyncRemote.h"

#include <functional>
#include <memory>

// The cloud of a sync test, either in memory or on the local test backend, behind one remote
// that counts what it carried and lets a test act while a call waits: the same test runs
// against both.
class TestCloud {
public:
    virtual ~TestCloud();

    static std::unique_ptr<TestCloud> inMemory();
    static std::unique_ptr<TestCloud> onBackend();

    // The remote the coordinator under test uses.
    SyncRemote& remote();
    // An access token the cloud accepts for the account.
    virtual QString accessTokenFor(const QString& userID) = 0;
    virtual CloudSyncSnapshot copyOf(const QString& userID) = 0;
    // Another computer's write: a new revision holding `snapshot`.
    virtual void store(const QString& userID, const SyncSnapshot& snapshot) = 0;

    // Runs until every call made so far has answered; false on time-out.
    bool settle(ManualScheduler& scheduler);

    // Run while a read or a write waits for its answer (before the cloud acts on a write).
    std::function<void()> beforeRead;
    std::function<void()> beforeWrite;
    // When set, every successful answer reaches the caller changed by it.
    std::function<CloudSyncSnapshot(CloudSyncSnapshot)> alterReply;

    int reads = 0; // answered reads
    int writes = 0; // accepted writes
    int refusedWrites = 0; // writes refused because the revision moved on

protected:
    explicit TestCloud(std::unique_ptr<SyncRemote> underlying);

private:
    class Relay;
    std::unique_ptr<SyncRemote> m_underlying;
    std::unique_ptr<Relay> m_relay;
    int m_outstanding = 0;
};
