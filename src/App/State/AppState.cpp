#include "App/State/AppState.h"

#include "Models/SyncFailure.h"
#include "Persistence/LocalStore.h"
#include "Services/TutorialManager.h"

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
    m_storageReady = m_store.isReady();

    connect(&m_store, &LocalStore::issuesChanged, this, [this] {
        if (!m_store.issues().isEmpty())
            setStorageReady(false);
    });
    connect(this, &AppState::selectedIdsChanged, this, [this] {
        if (!m_multiSelectionSeen && m_selectedIds.size() > 1) {
            m_multiSelectionSeen = true;
            setFirstUseFlag(QStringLiteral("discovery_multi"));
        }
    });

    if (m_store.isReady())
        backfillAchievementsIfNeeded();
    m_searchIndex.prepare(m_userData.shortcuts);
}

AppState::~AppState() = default;

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
    if (!m_storageReady || !syncSnapshot().matches(expected))
        throw SyncFailure(SyncFailure::Kind::localChanged);
    m_store.applySync(snapshot, expected, owner);
    if (syncSnapshot().matches(snapshot))
        return;
    setUserData(snapshot.data);
    setSettings(snapshot.settings);
    setStats(snapshot.stats);
    m_undoStack.clear();
    m_redoStack.clear();
    setSelectedIds({});
    setCurrentGroupId(std::nullopt);
}

// ---------------------------------------------------------------- change path

bool AppState::replaceLibrary(const UserData& library)
{
    return mutate([&](UserData& d) { d = library; });
}

bool AppState::mutate(const std::function<void(UserData&)>& change)
{
    if (!m_store.isReady())
        return false;
    const UserData previous = m_userData;
    UserData candidate = m_userData;
    change(candidate);
    candidate.reconcileTombstones();
    // An edit that breaks the library's rules (say, a paste into a folder that an undo has
    // just removed) is refused here: handing it to the store would record a storage issue and
    // put the recovery screen over an undamaged file.
    try {
        candidate.validate();
    } catch (const DecodingError&) {
        return false;
    }
    m_userData = candidate;
    if (!save()) {
        m_userData = previous;
        return false;
    }
    if (m_undoStack.size() >= maxHistory)
        m_undoStack.removeFirst();
    m_undoStack.append(previous);
    m_redoStack.clear();
    Q_EMIT userDataChanged();
    return true;
}

bool AppState::save()
{
    if (!m_store.isReady())
        return false;
    m_userData.reconcileTombstones();
    if (!m_store.saveData(m_userData))
        return false;
    runAchievementChecks();
    return true;
}

bool AppState::step(QList<UserData>& from, QList<UserData>& to)
{
    if (!m_store.isReady() || from.isEmpty())
        return false;
    const UserData current = m_userData;
    m_userData = from.last();
    if (!save()) {
        m_userData = current;
        return false;
    }
    from.removeLast();
    to.append(current);
    Q_EMIT userDataChanged();
    return true;
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
