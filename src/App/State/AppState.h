#pragma once

#include "App/State/ConfirmationRequest.h"
#include "Models/AppSettings.h"
#include "Models/IdHashes.h"
#include "Models/LibraryDifference.h"
#include "Models/ShortcutSearchIndex.h"
#include "Models/Stats.h"
#include "Models/SyncSnapshot.h"
#include "Models/TriggerUses.h"
#include "Models/UserData.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <functional>
#include <future>
#include <optional>

class LocalStore;
class PlainTextClipboard;
struct Achievement;
struct SyncOwner;

// The one owner of the library, settings and statistics while the application runs, and of
// the main list's view state. Every screen reads it and changes the library only through it:
// each change is validated, handed to the store to be written and becomes one undo step.
//
// When the store writes in the background, a change is shown at once and its write follows
// in order; a write that fails puts the library and the history back as they were before the
// first change that was not written, and the store's issue brings up the recovery screen.
// Changing operations then report that the change was accepted; operations whose caller tells
// the user it is done (an import, clearing everything, a replaced library) wait for the disk.
// With the store writing at once, every operation reports whether its change reached the disk.
class AppState : public QObject {
    Q_OBJECT
public:
    static constexpr int maxHistory = 50;

    // The copy-and-paste payload of library items (compact JSON as plain text).
    struct ClipboardData {
        QList<Shortcut> shortcuts;
        QList<Group> groups;

        static ClipboardData fromJson(const JsonReader& reader);
        QJsonValue toJson() const;
    };

    explicit AppState(LocalStore& store, QObject* parent = nullptr);
    ~AppState() override;

    // The one instance, for the tutorial: setting it hands the tutorial this library's
    // triggers. Held weakly.
    static AppState* shared();
    static void setShared(AppState* state);

    // Where announcements go; the application wires the banner and the floater. Without them
    // nothing is shown.
    void setAchievementPresenter(std::function<void(const Achievement&)> presenter);
    void setTimeSavedPresenter(std::function<void(double seconds)> presenter);
    void setClipboard(PlainTextClipboard* clipboard);
    PlainTextClipboard* clipboard() const { return m_clipboard; }
    // What clearing local data needs of the account: whether the user is signed in, and
    // how to pause sync. Until the application gives them, nobody is signed in and there
    // is no sync to pause.
    void setAccountHooks(std::function<bool()> isSignedIn, std::function<void()> stopSync);
    bool isSignedIn() const;

    // Published state.
    const UserData& userData() const { return m_userData; }
    const AppSettings& settings() const { return m_settings; }
    const Stats& stats() const { return m_stats; }
    const QString& searchQuery() const { return m_searchQuery; }
    void setSearchQuery(const QString& query);
    bool reviewingDuplicateShortcuts() const { return m_reviewingDuplicateShortcuts; }
    void setReviewingDuplicateShortcuts(bool reviewing);
    const std::optional<QString>& currentGroupId() const { return m_currentGroupId; }
    void setCurrentGroupId(const std::optional<QString>& id);
    // The open folder, or the top level when the open folder no longer exists (an undo or a
    // sync can remove it while it is open).
    std::optional<QString> effectiveCurrentGroupId() const;
    const QSet<QString>& selectedIds() const { return m_selectedIds; }
    void setSelectedIds(const QSet<QString>& ids);
    const std::optional<ConfirmationRequest>& pendingConfirmation() const { return m_pendingConfirmation; }
    bool storageReady() const { return m_storageReady; }

    std::optional<QDateTime> lastPopoverCloseAt;

    LocalStore& store() { return m_store; }
    bool canUndo() const { return !m_undoStack.isEmpty(); }
    bool canRedo() const { return !m_redoStack.isEmpty(); }

    // Storage and sync.
    void retryStorage();
    SyncSnapshot syncSnapshot() const;
    void applySyncedSnapshot(const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner);

    // Puts `library` in place of the current one as one undo step (a replacing import, a
    // restore). Returns whether it was valid and written.
    bool replaceLibrary(const UserData& library);
    bool undo();
    bool redo();
    bool updateSettings(const std::function<void(AppSettings&)>& change);

    // Library operations.
    bool addShortcut(const QString& trigger, const QString& expansion, const std::optional<QString>& groupId);
    bool updateShortcut(
        const QString& id, const std::optional<QString>& trigger, const std::optional<QString>& expansion);
    // Deletions ask first when the settings say so; they then return false and the
    // confirmation carries them out. Otherwise they return whether the deletion was written.
    bool deleteShortcut(const QString& id);
    bool duplicateShortcut(const QString& id);
    // Returns the new folder's id, or nothing when it was not written. Without an `order` the
    // folder goes after its siblings.
    std::optional<QString> addGroup(const QString& name, const std::optional<QString>& parentGroupId,
        const std::optional<QString>& icon, const std::optional<QString>& color, const QString& visibility,
        std::optional<qint64> order = std::nullopt);
    bool deleteGroup(const QString& id);
    bool ungroupFolder(const QString& id);
    // `icon` and `color`: not given keeps the value, given as nullopt clears it (so a folder
    // can drop the icon of an upload that was deleted).
    bool updateGroup(const QString& id, const std::optional<QString>& name,
        const std::optional<std::optional<QString>>& icon, const std::optional<std::optional<QString>>& color);
    // The folder's place in the tree and its visibility, as one undo step.
    bool updateGroupParentAndVisibility(
        const QString& id, const std::optional<QString>& parentGroupId, const QString& visibility);
    bool duplicateGroup(const QString& id);
    bool moveShortcutToGroup(const QString& shortcutId, const std::optional<QString>& groupId);
    // Moves the items named by `ids` into the folder (see UserData::moveIntoFolder). Returns
    // how many changed place: 0 when none would, with nothing written.
    int moveItemsIntoFolder(const QStringList& ids, const QString& folderId);
    bool moveSelectedToGroup(const std::optional<QString>& groupId);
    bool moveItemUp(const QString& id);
    bool moveItemDown(const QString& id);
    void deleteSelected();
    void selectAll();
    void copySelected();
    // Returns how many items were added (0 when the clipboard held no library items or the
    // write failed).
    int pasteFromClipboard();
    void duplicateSelected();

    // Library transfer: the confirmed steps of an import and of clearing all data.
    enum class ImportOutcome {
        imported,
        libraryChanged, // since the preview, or storage is not ready: nothing was changed
        notConfirmed
    }; // written, but the library is not the planned one afterwards
    // Replaces the library by `library`, a preview merged into `expected`, as one undo step,
    // provided the library still is `expected`.
    ImportOutcome applyImport(const UserData& library, const UserData& expected);
    enum class ClearOutcome {
        cleared,
        refused, // signed in, or storage not ready: nothing was changed
        backupFailed, // the files could not be kept first: nothing was changed
        libraryNotCleared,
        statisticsNotCleared
    }; // the library is empty, the statistics are as they were
    // Keeps a dated private copy of the data files, pauses sync, empties the library (one undo
    // step) and then resets the statistics. Settings stay.
    ClearOutcome clearAllData();

    // Confirmation.
    void requestConfirmation(const ConfirmationRequest& request);
    void confirmRequest();
    void cancelRequest();

    // Queries.
    QList<Shortcut> shortcutsInGroup(const std::optional<QString>& groupId) const;
    // The same shortcuts as their positions in userData().shortcuts, without copies.
    QList<qsizetype> shortcutPositionsInGroup(const std::optional<QString>& groupId) const;
    QList<Group> groupsInGroup(const std::optional<QString>& parentGroupId) const;
    QList<Group> breadcrumbs() const;

    // A shortcut is about to be added or edited (its form is open): the copy of the list such a
    // change makes, and what it checks a new id against, are made meanwhile on another thread,
    // so that saving costs the interface thread time in proportion to the change. Until the
    // library changes otherwise, or `false` says the form closed unsaved.
    void prepareShortcutEdit(bool editing = true);

    // Whether a shortcut other than `exceptId` uses `trigger` (under canonical equivalence).
    bool isTriggerTaken(const QString& trigger, const QString& exceptId = {}) const;
    // How many triggers two shortcuts or more use.
    qsizetype duplicatedTriggerCount() const;

    // Custom icons. Returns the new icon's id, or nothing when it was not stored.
    std::optional<QString> addCustomIcon(const QString& name, const QString& svg);
    bool removeCustomIcon(const QString& id);

    // Statistics.
    void recordExpansion(const QString& trigger, qint64 charsSaved);
    // The same, for an expansion whose shortcut is known (the engine reports it): nothing is
    // looked up, so its cost does not grow with the library. An empty id counts no shortcut.
    void recordShortcutExpansion(const QString& shortcutId, qint64 charsSaved);
    void setFirstUseFlag(const QString& flag);
    static QString dayKey(const QDateTime& date);
    void backfillAchievementsIfNeeded();

    // Waits for every queued write of the store and applies what came of it.
    void waitForWrites();
    // Says that the changes made so far succeeded, as a toast, once they are all on disk;
    // says nothing when one of them fails (the recovery screen then says why).
    void toastOnceWritten(const QString& message);

Q_SIGNALS:
    void userDataChanged();
    void settingsChanged();
    void statsChanged();
    void searchQueryChanged();
    void reviewingDuplicateShortcutsChanged();
    void currentGroupIdChanged();
    void selectedIdsChanged();
    void pendingConfirmationChanged();
    void storageReadyChanged(bool ready);

private:
    // What to put back when a write fails: the library and history before one change.
    struct Checkpoint {
        quint64 write = 0;
        UserData library;
        QList<LibraryDifference> undoStack;
        QList<LibraryDifference> redoStack;
        bool announced = false;
        // Shown once this change is on disk.
        QStringList toasts;
    };
    bool mutate(const std::function<void(UserData&)>& change);
    // Hands the current library to the store; `before` is what a failed write puts back.
    bool commit(Checkpoint before);
    void libraryWritten(quint64 write, bool written);
    // Whether the library changes up to the latest one are on disk, once written.
    bool latestChangeWritten();
    bool step(QList<LibraryDifference>& from, QList<LibraryDifference>& to);
    bool saveStats(const Stats& previous);
    void statsWritten(quint64 write, bool written, const Stats& value);
    void runAchievementChecks();
    void setUserData(const UserData& data);
    void setStats(const Stats& stats);
    void setSettings(const AppSettings& settings);
    void setStorageReady(bool ready);
    void setPendingConfirmation(std::optional<ConfirmationRequest> request);
    bool deleteShortcutNow(const QString& id);
    bool deleteGroupNow(const QString& id);
    bool moveItem(const QString& id, int direction);
    // The library's shortcuts as a list of its own with room for `room` more, to be changed
    // without a copy (the one prepared for the edit when it still holds `shortcuts`).
    QList<Shortcut> ownShortcuts(const QList<Shortcut>& shortcuts, qsizetype room);
    // `library`'s first shortcut with `id` in a list of its own (see ownShortcuts), or null.
    Shortcut* ownShortcut(UserData& library, const QString& id);
    // How many of the library's shortcuts use `id` (canonically).
    int idUses(const QString& id) const;
    LocalStore& m_store;
    UserData m_userData;
    AppSettings m_settings;
    Stats m_stats;
    QString m_searchQuery;
    bool m_reviewingDuplicateShortcuts = false;
    std::optional<QString> m_currentGroupId;
    QSet<QString> m_selectedIds;
    // Searching is a view of the library; the index only saves work.
    mutable ShortcutSearchIndex m_searchIndex;
    // Likewise: brought up to date when asked, from where the library changed.
    mutable TriggerUses m_triggerUses;
    // A large library's triggers as loaded, counted on another thread while the popover is
    // built; taken over by the first question.
    mutable std::future<TriggerUses> m_countingTriggers;
    TriggerUses& triggerUses() const;
    mutable IdHashes m_idUses;
    // Made for an edit while its form is open (see prepareShortcutEdit): an own copy of
    // `m_preparedFrom` and, until they are first needed, the id counts.
    QList<Shortcut> m_preparedFrom;
    std::future<QList<Shortcut>> m_preparedCopy;
    mutable std::future<IdHashes> m_preparedIdUses;
    mutable bool m_idUsesBuilt = false;
    std::optional<ConfirmationRequest> m_pendingConfirmation;
    bool m_storageReady = false;
    bool m_multiSelectionSeen = false;
    // The achievements that read the library were evaluated against the current library and
    // statistics holding their stamps: until either changes, only the others can be earned.
    bool m_libraryAchievementsChecked = false;
    // Earlier and undone libraries, oldest first, each kept as its difference from the one
    // after it: the last of each stack from the current library, every other entry from the
    // entry after it.
    QList<LibraryDifference> m_undoStack;
    QList<LibraryDifference> m_redoStack;
    // Library changes whose writes have not reported yet, oldest first.
    QList<Checkpoint> m_unwritten;
    quint64 m_libraryWrites = 0;
    quint64 m_lastFailedLibraryWrite = 0;
    // The statistics as last written, which a failed write puts back.
    Stats m_writtenStats;
    quint64 m_statsWrites = 0;
    quint64 m_lastFailedStatsWrite = 0;
    std::function<void(const Achievement&)> m_achievementPresenter;
    std::function<void(double)> m_timeSavedPresenter;
    PlainTextClipboard* m_clipboard = nullptr;
    std::function<bool()> m_isSignedIn;
    std::function<void()> m_stopSync;
};

// Calls `handler` at once and again after every emission of `signal`, for views and services
// that need "the current value, then every change".
template <class Sender, class Signal, class Handler>
QMetaObject::Connection observeNow(Sender* sender, Signal signal, QObject* context, Handler handler)
{
    handler();
    return QObject::connect(sender, signal, context, [handler](auto&&...) { handler(); });
}
