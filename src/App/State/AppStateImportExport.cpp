#include "App/State/AppState.h"

#include "Persistence/LocalStore.h"

void AppState::setAccountHooks(std::function<bool()> isSignedIn, std::function<void()> stopSync)
{
    m_isSignedIn = std::move(isSignedIn);
    m_stopSync = std::move(stopSync);
}

bool AppState::isSignedIn() const
{
    return m_isSignedIn && m_isSignedIn();
}

AppState::ImportOutcome AppState::applyImport(const UserData& library, const UserData& expected)
{
    if (!m_storageReady || !m_store.isReady() || !SyncSnapshot::sameLibrary(m_userData, expected))
        return ImportOutcome::libraryChanged;
    // The user is told the import is done: it waits for the disk.
    if (mutate([&](UserData& data) { data = library; }))
        latestChangeWritten();
    if (!m_store.isReady() || !SyncSnapshot::sameLibrary(m_userData, library))
        return ImportOutcome::notConfirmed;
    setFirstUseFlag(QStringLiteral("discovery_import"));
    return ImportOutcome::imported;
}

AppState::ClearOutcome AppState::clearAllData()
{
    if (isSignedIn() || !m_storageReady)
        return ClearOutcome::refused;
    // The question promises that the previous files are kept; the store's single backup
    // would be replaced by the next write, so a copy of its own is made first.
    try {
        m_store.keepDataCopies();
    } catch (const std::exception&) {
        return ClearOutcome::backupFailed;
    }
    if (m_stopSync)
        m_stopSync();
    if (!mutate([](UserData& data) { data = UserData::empty(); }) || !latestChangeWritten())
        return ClearOutcome::libraryNotCleared;
    // Only what was written is shown: statistics that could not be saved stay as they are.
    if (!m_storageReady || !m_store.saveStats(Stats::empty()))
        return ClearOutcome::statisticsNotCleared;
    setStats(Stats::empty());
    return ClearOutcome::cleared;
}
