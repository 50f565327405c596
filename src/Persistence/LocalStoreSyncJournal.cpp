// The store's side of synchronisation: reading a consistent snapshot, applying a synced one
// as a journalled transaction, rolling an interrupted apply back, and archiving both sides.
#include "Persistence/LocalStore.h"

#include "Models/CloudSyncSnapshot.h"
#include "Models/SyncFailure.h"
#include "Models/SyncOwner.h"
#include "Models/SyncSnapshot.h"
#include "Utilities/Uuid.h"

#include <QDir>

SyncSnapshot LocalStore::snapshotForSync()
{
    flushWrites();
    if (!isReady())
        throw SyncFailure(SyncFailure::Kind::storageUnavailable);
    std::optional<SyncSnapshot> snapshot;
    const bool verified = attempt(Resource::sync, [&] {
        m_synchronization.verifiedValue();
        UserData data = m_library.verifiedValue();
        AppSettings settings = m_preferences.verifiedValue();
        Stats stats = m_statistics.verifiedValue();
        snapshot = SyncSnapshot{std::move(data), std::move(settings), std::move(stats)};
    });
    if (!verified)
        throw SyncFailure(SyncFailure::Kind::storageUnavailable);
    return *snapshot;
}

void LocalStore::writeJournal(const SyncRecord& record)
{
    if (!attempt(Resource::sync, [&] { m_synchronization.save(record); }))
        throw SyncFailure(SyncFailure::Kind::storageUnavailable);
    m_syncRecord = record;
}

void LocalStore::applySync(const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner)
{
    flushWrites();
    snapshot.validate();
    const SyncSnapshot live = snapshotForSync();
    if (!live.matches(expected))
        throw SyncFailure(SyncFailure::Kind::localChanged);

    SyncRecord journal = m_syncRecord;
    journal.pending = SyncLocalTransaction{expected, snapshot};
    writeJournal(journal);

    // The data files go through their safe files directly: the journal entry itself makes
    // the store not ready, and a refused save here would leave the apply half done.
    const auto writeStep = [&](Resource resource, auto& file, const auto& value) {
        if (attempt(resource, [&] { file.save(value); }))
            return;
        setIssue(Resource::sync, SyncFailure(SyncFailure::Kind::interrupted).errorDescription());
        throw SyncFailure(SyncFailure::Kind::storageUnavailable);
    };
    writeStep(Resource::library, m_library, snapshot.data);
    writeStep(Resource::settings, m_preferences, snapshot.settings);
    writeStep(Resource::stats, m_statistics, snapshot.stats);

    SyncRecord completed;
    completed.owner = owner;
    completed.baseline = snapshot;
    writeJournal(completed);
}

bool LocalStore::restoreInterruptedSync()
{
    flushWrites();
    if (!m_syncRecord.pending)
        return false;
    const SyncSnapshot before = m_syncRecord.pending->before;
    const SyncSnapshot after = m_syncRecord.pending->after;
    try {
        m_synchronization.verifiedValue();
        const UserData data = m_library.load();
        const AppSettings settings = m_preferences.load();
        const Stats stats = m_statistics.load();
        const bool known = (SyncSnapshot::sameLibrary(data, before.data) || SyncSnapshot::sameLibrary(data, after.data))
            && (SyncSnapshot::same(settings, before.settings) || SyncSnapshot::same(settings, after.settings))
            && (SyncSnapshot::same(stats, before.stats) || SyncSnapshot::same(stats, after.stats));
        if (!known)
            throw SyncFailure(SyncFailure::Kind::localChanged);

        // Written through the safe files directly: every save through the store is refused
        // while the interruption is an issue, so going through it could never finish.
        m_library.save(before.data);
        m_preferences.save(before.settings);
        m_statistics.save(before.stats);
        SyncRecord idle = m_syncRecord;
        idle.pending.reset();
        m_synchronization.save(idle);
        m_syncRecord = idle;
    } catch (const std::exception& error) {
        setIssue(Resource::sync, describe(error));
        return false;
    }
    clearIssues();
    for (const Resource resource : allResources())
        m_loaded.insert(resource);
    return true;
}

QString LocalStore::archiveSync(const SyncSnapshot& local, const CloudSyncSnapshot& cloud, const SyncOwner& owner)
{
    FileIO::makeFolders(m_directory);
    QString path
        = QDir(m_directory).filePath(QStringLiteral("sync-recovery-") + Uuid::generate() + QStringLiteral(".json"));
    const QJsonObject archive{
        {QStringLiteral("owner"), owner.toJson()},
        {QStringLiteral("local"), local.toJson()},
        {QStringLiteral("cloud"), cloud.toJson()},
    };
    // Both versions of the user's library: private from the first byte.
    m_write(VelmoraJSON::encode(archive), path, FileIO::Access::ownerOnly);
    return path;
}
