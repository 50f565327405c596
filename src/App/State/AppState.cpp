#include "App/State/AppState.h"

#include "Models/SyncFailure.h"
#include "Persistence/LocalStore.h"
#include "Services/TutorialManager.h"
#include "Utilities/BackgroundRelease.h"
#include "Utilities/ToastManager.h"

namespace {
QPointer<AppState> g_shared;
} // namespace

// ---------------------------------------------------------------- creation and storage

AppState::AppState(LocalStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    m_userData = m_store.loadData();
    m_settings = m_store.loadSettings();
    m_stats = m_store.loadStats();
    m_writtenStats = m_stats;
    m_storageReady = m_store.isReady();

    connect(&m_store, &LocalStore::issuesChanged, this, [this] {
        if (!m_store.issues().isEmpty())
            setStorageReady(false);
    });
    // However the library changes (an edit, an undo, a synced library), achievements that read
    // it are looked at again.
    connect(this, &AppState::userDataChanged, this, [this] { m_libraryAchievementsChecked = false; });
    connect(this, &AppState::selectedIdsChanged, this, [this] {
        if (!m_multiSelectionSeen && m_selectedIds.size() > 1) {
            m_multiSelectionSeen = true;
            setFirstUseFlag(QStringLiteral("discovery_multi"));
        }
    });

    if (m_store.isReady())
        backfillAchievementsIfNeeded();
    m_searchIndex.prepare(m_userData.shortcuts);
    // The list asks for the duplicated triggers as it is first shown; on a large library
    // counting them is a good part of the start, done meanwhile on another thread.
    if (m_userData.shortcuts.size() >= BackgroundRelease::worthAThread) {
        m_countingTriggers = std::async(std::launch::async, [shortcuts = m_userData.shortcuts] {
            TriggerUses counts;
            counts.follow(shortcuts);
            return counts;
        });
    }
    // Connected before any view's reading of the new library, which may hand it the new list.
    connect(this, &AppState::userDataChanged, this, [this] { m_searchIndex.forgetSource(); });
}

AppState::~AppState()
{
    // Outcomes reported after this would find no state to put back.
    m_store.flushWrites();
}

void AppState::waitForWrites()
{
    m_store.flushWrites();
}

AppState* AppState::shared()
{
    return g_shared.data();
}

void AppState::setShared(AppState* state)
{
    g_shared = state;
    // Through the weak pointer: the tutorial outlives every state.
    TutorialManager::shared().setTriggerSource([]() -> std::optional<QStringList> {
        const AppState* shared = AppState::shared();
        if (!shared)
            return std::nullopt;
        QStringList triggers;
        for (const Shortcut& s : shared->userData().shortcuts)
            triggers.append(s.trigger);
        return triggers;
    });
}

void AppState::setAchievementPresenter(std::function<void(const Achievement&)> presenter)
{
    m_achievementPresenter = std::move(presenter);
}

void AppState::setTimeSavedPresenter(std::function<void(double)> presenter)
{
    m_timeSavedPresenter = std::move(presenter);
}

void AppState::setClipboard(PlainTextClipboard* clipboard)
{
    m_clipboard = clipboard;
}

void AppState::retryStorage()
{
    m_store.loadSyncState();
    const UserData data = m_store.loadData();
    const AppSettings settings = m_store.loadSettings();
    const Stats stats = m_store.loadStats();
    if (!m_store.isReady())
        return;
    setUserData(data);
    setSettings(settings);
    setStats(stats);
    m_undoStack.clear();
    m_redoStack.clear();
    m_unwritten.clear();
    setCurrentGroupId(std::nullopt);
    setSelectedIds({});
    setSearchQuery(QString());
    setReviewingDuplicateShortcuts(false);
    setPendingConfirmation(std::nullopt);
    setStorageReady(true);
}

SyncSnapshot AppState::syncSnapshot() const
{
    return SyncSnapshot{m_userData, m_settings, m_stats};
}

void AppState::applySyncedSnapshot(const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner)
{
    // The comparison below is with what is on disk, not with changes still being written.
    m_store.flushWrites();
    if (!m_storageReady || !syncSnapshot().matches(expected))
        throw SyncFailure(SyncFailure::Kind::localChanged);
    m_store.applySync(snapshot, expected, owner);
    if (syncSnapshot().matches(snapshot))
        return;
    // Only a changed library makes the open folder, the selection and the undo history
    // stale; new statistics or settings leave the user where they were.
    const bool libraryChanged = !(m_userData == snapshot.data);
    setUserData(snapshot.data);
    setSettings(snapshot.settings);
    setStats(snapshot.stats);
    if (!libraryChanged)
        return;
    m_undoStack.clear();
    m_redoStack.clear();
    m_unwritten.clear();
    setSelectedIds({});
    setCurrentGroupId(std::nullopt);
}

// ---------------------------------------------------------------- change path

bool AppState::replaceLibrary(const UserData& library)
{
    return mutate([&](UserData& d) { d = library; }) && latestChangeWritten();
}

bool AppState::mutate(const std::function<void(UserData&)>& change)
{
    if (!m_store.isReady())
        return false;
    UserData candidate = m_userData;
    change(candidate);
    candidate.reconcileTombstones();
    // An edit that breaks the library's rules (say, a paste into a folder that an undo has
    // just removed) is refused here: handing it to the store would record a storage issue and
    // put the recovery screen over an undamaged file.
    try {
        candidate.validateChange(m_userData, [this](const QString& id) { return idUses(id); });
    } catch (const DecodingError&) {
        return false;
    }
    Checkpoint before{0, m_userData, m_undoStack, m_redoStack, false, {}};
    if (m_undoStack.size() >= maxHistory)
        m_undoStack.removeFirst();
    // The entry below it was kept against the library that becomes this entry: still right.
    m_undoStack.append(LibraryDifference(m_userData, candidate));
    m_redoStack.clear();
    m_userData = std::move(candidate);
    return commit(std::move(before));
}

bool AppState::commit(Checkpoint before)
{
    const quint64 write = ++m_libraryWrites;
    before.write = write;
    m_unwritten.append(std::move(before));
    const QPointer<AppState> self(this);
    const bool accepted = m_store.saveDataInOrder(m_userData, [self, write](bool written) {
        if (self)
            self->libraryWritten(write, written);
    });
    if (!accepted) {
        const Checkpoint refused = m_unwritten.takeLast();
        m_userData = refused.library;
        m_undoStack = refused.undoStack;
        m_redoStack = refused.redoStack;
        return false;
    }
    // A store that writes at once has already reported, and put a failed change back.
    if (m_lastFailedLibraryWrite == write)
        return false;
    for (Checkpoint& checkpoint : m_unwritten) {
        if (checkpoint.write == write)
            checkpoint.announced = true;
    }
    Q_EMIT userDataChanged();
    return true;
}

void AppState::libraryWritten(quint64 write, bool written)
{
    const auto at = std::find_if(m_unwritten.begin(), m_unwritten.end(),
        [write](const Checkpoint& checkpoint) { return checkpoint.write == write; });
    if (at == m_unwritten.end())
        return;
    if (written) {
        const QStringList toasts = at->toasts;
        BackgroundRelease::replace(at->library.shortcuts, {});
        m_unwritten.erase(at);
        // With the checkpoint gone, the counts may be the last holders of the list before
        // this change.
        triggerUses().keepUp(m_userData.shortcuts);
        m_idUses.keepUp(m_userData.shortcuts);
        runAchievementChecks();
        for (const QString& message : toasts)
            ToastManager::shared().show(message);
        return;
    }
    // Writes are made in order and the store stops at the first failure: this change and
    // every later one are not on disk.
    const Checkpoint restored = *at;
    const bool shown = std::any_of(at, m_unwritten.end(), [](const Checkpoint& c) { return c.announced; });
    m_unwritten.erase(at, m_unwritten.end());
    m_lastFailedLibraryWrite = write;
    m_libraryAchievementsChecked = false;
    m_userData = restored.library;
    m_undoStack = restored.undoStack;
    m_redoStack = restored.redoStack;
    if (shown)
        Q_EMIT userDataChanged();
}

void AppState::toastOnceWritten(const QString& message)
{
    if (m_unwritten.isEmpty())
        ToastManager::shared().show(message);
    else
        m_unwritten.last().toasts.append(message);
}

bool AppState::latestChangeWritten()
{
    m_store.flushWrites();
    return m_lastFailedLibraryWrite < m_libraryWrites && m_store.isReady();
}

bool AppState::step(QList<LibraryDifference>& from, QList<LibraryDifference>& to)
{
    if (!m_store.isReady() || from.isEmpty())
        return false;
    Checkpoint before{0, m_userData, m_undoStack, m_redoStack, false, {}};
    UserData target = from.takeLast().applyTo(m_userData);
    target.reconcileTombstones();
    to.append(LibraryDifference(m_userData, target));
    m_userData = std::move(target);
    return commit(std::move(before));
}

bool AppState::undo()
{
    return step(m_undoStack, m_redoStack);
}

bool AppState::redo()
{
    return step(m_redoStack, m_undoStack);
}

bool AppState::updateSettings(const std::function<void(AppSettings&)>& change)
{
    if (!m_store.isReady())
        return false;
    AppSettings copy = m_settings;
    change(copy);
    if (!m_store.saveSettings(copy))
        return false;
    setSettings(copy);
    return true;
}

// ---------------------------------------------------------------- confirmation

void AppState::requestConfirmation(const ConfirmationRequest& request)
{
    setPendingConfirmation(request);
}

void AppState::confirmRequest()
{
    std::function<void()> action;
    if (m_pendingConfirmation)
        action = m_pendingConfirmation->action;
    setPendingConfirmation(std::nullopt);
    if (action)
        action();
    setSelectedIds({});
}

void AppState::cancelRequest()
{
    setPendingConfirmation(std::nullopt);
}

// ---------------------------------------------------------------- published setters

void AppState::setUserData(const UserData& data)
{
    m_userData = data;
    Q_EMIT userDataChanged();
}

void AppState::setStats(const Stats& stats)
{
    m_stats = stats;
    m_writtenStats = stats;
    m_libraryAchievementsChecked = false;
    Q_EMIT statsChanged();
}

void AppState::setSettings(const AppSettings& settings)
{
    m_settings = settings;
    Q_EMIT settingsChanged();
}

void AppState::setStorageReady(bool ready)
{
    if (m_storageReady == ready)
        return;
    m_storageReady = ready;
    Q_EMIT storageReadyChanged(ready);
}

void AppState::setPendingConfirmation(std::optional<ConfirmationRequest> request)
{
    m_pendingConfirmation = std::move(request);
    Q_EMIT pendingConfirmationChanged();
}

void AppState::setSearchQuery(const QString& query)
{
    if (m_searchQuery == query)
        return;
    m_searchQuery = query;
    Q_EMIT searchQueryChanged();
}

void AppState::setReviewingDuplicateShortcuts(bool reviewing)
{
    if (m_reviewingDuplicateShortcuts == reviewing)
        return;
    m_reviewingDuplicateShortcuts = reviewing;
    Q_EMIT reviewingDuplicateShortcutsChanged();
}

void AppState::setCurrentGroupId(const std::optional<QString>& id)
{
    if (m_currentGroupId == id)
        return;
    m_currentGroupId = id;
    Q_EMIT currentGroupIdChanged();
}

void AppState::setSelectedIds(const QSet<QString>& ids)
{
    if (m_selectedIds == ids)
        return;
    m_selectedIds = ids;
    Q_EMIT selectedIdsChanged();
}
