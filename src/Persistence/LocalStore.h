#pragma once

#include "Models/AppSettings.h"
#include "Models/Stats.h"
#include "Models/SyncRecord.h"
#include "Models/UserData.h"
#include "Models/UserDataEncoder.h"
#include "Persistence/FileIO.h"
#include "Persistence/OrderedWriter.h"
#include "Persistence/SafeJSONFile.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct CloudSyncSnapshot;
struct SyncOwner;
struct SyncSnapshot;

// The application's one gateway to its data files: the library, the settings, the statistics
// and the sync record, each in its own safe file in the data folder. It tracks, per file,
// whether the last operation on it succeeded and, if not, the sentence saying why; storage is
// ready, and any file may be written, only while every file is fine and no fresh start is
// half done.
//
// Everything runs synchronously on the calling (main) thread, except the ordered saves of the
// library and the statistics: with background writes on, those are written by one writer
// thread in the order they were asked for, and their outcome is recorded and reported back on
// the main thread once the bytes are on disk (or the write failed). A write that fails stops
// every write queued after it, which then report failure without touching the disk. Every
// other operation first waits for the queued writes and records their outcomes, so it sees
// the files as the writes left them. With background writes off (the default) the ordered
// saves are written before they return, through the same steps.
class LocalStore : public QObject {
    Q_OBJECT

public:
    enum class Resource { library, settings, stats, sync };

    static QList<Resource> allResources();
    // "data", "settings", "stats", "sync-state"
    static QString rawValue(Resource resource);
    // The raw value followed by ".json".
    static QString fileName(Resource resource);
    // "Library", "Settings", "Stats", "Sync state"
    static QString title(Resource resource);

    // The store of the data folder, made on first use. Main thread only.
    static LocalStore& shared();

    // Reads the sync record at once; the other files wait for their loads.
    explicit LocalStore(QString directory, FileIO::Writer write = FileIO::writeAtomically, QObject* parent = nullptr);
    // Writes what is still queued or waiting first.
    ~LocalStore() override;

    // Turns the writer thread on. Statistics then wait `statisticsDelayMs` after the first of
    // a burst of saves and are written once, as the last save left them: a crash loses at most
    // that much of the counts. Queued writes are finished when the application quits.
    void setBackgroundWrites(bool enabled, int statisticsDelayMs = 2000);
    bool backgroundWrites() const { return m_background; }

    const QString& directory() const { return m_directory; }
    // For each resource whose last operation failed, that failure's sentence.
    const QMap<Resource, QString>& issues() const { return m_issues; }
    bool isReady() const;
    // The first resource with an issue, in declaration order.
    std::optional<Resource> firstIssue() const;
    bool hasBackup(Resource resource) const;
    // The resource's issue is a write that failed (the disk is full, the folder cannot be
    // written): its file still holds what was last saved, so no backup should replace it.
    bool isWriteFailure(Resource resource) const { return m_writeFailures.contains(resource); }
    const SyncRecord& syncRecord() const { return m_syncRecord; }

    // A failed load records the issue and returns the default, which can never be saved over
    // the file that failed.
    UserData loadData();
    // Until this is called, what a library load leaves for the encoder to learn (so that the
    // first save is as quick as later ones) waits, or is done by the first save: at start-up
    // it would take the processor from building the interface. Later loads learn at once.
    void startUpDone();
    AppSettings loadSettings();
    Stats loadStats();
    void loadSyncState();

    // Refused (false, nothing recorded) while the resource is not loaded or any issue exists.
    // True when the file was written or already held these exact bytes.
    bool saveData(const UserData& data);
    bool saveSettings(const AppSettings& settings);
    bool saveStats(const Stats& stats);

    // The ordered saves. Refused at once (false, `done` never called) as the plain saves are;
    // otherwise `done` is called on this thread with whether the file now holds the value,
    // after the bytes are on disk. Statistics saves that wait together are written once, as
    // the last one gave them, and all of them learn that write's outcome.
    using WriteDone = std::function<void(bool written)>;
    bool saveDataInOrder(const UserData& data, WriteDone done);
    bool saveStatsSoon(const Stats& stats, WriteDone done);
    // Whether an ordered save has not reported its outcome yet.
    bool hasPendingWrites() const { return m_pendingWrites > 0 || m_statsWaiting; }
    // Writes waiting statistics now, waits for every queued write and reports the outcomes.
    void flushWrites();

    bool restoreBackup(Resource resource);
    // Puts the three data files back to their pre-sync versions after an interrupted apply.
    bool restoreInterruptedSync();
    // Archives everything and starts with fresh files (or finishes an interrupted fresh
    // start); returns the archive folder. Throws the failure, also recorded for `sync`.
    QString archiveAndStartFresh();
    // Keeps a private copy of every data file and backup in a new dated folder
    // "library-backup-<yyyy-MM-dd-HHmmss>" beside them, for a change that replaces them all;
    // returns the folder. Throws the failure; records nothing, since no data file was touched.
    QString keepDataCopies();

    // The library as the export file's JSON text, or nothing when storage is not ready or the
    // data file no longer holds what the store last read or wrote.
    std::optional<QString> exportJSON();

    // The three data files as they are on disk; throws SyncFailure::storageUnavailable.
    SyncSnapshot snapshotForSync();
    // Writes a synced snapshot as one journalled transaction; throws SyncFailure or the
    // snapshot's validation error.
    void applySync(const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner);
    // Saves both sides of a sync run in a new private "sync-recovery-<UUID>.json"; returns its
    // path. Throws the file system's or the coder's error.
    QString archiveSync(const SyncSnapshot& local, const CloudSyncSnapshot& cloud, const SyncOwner& owner);

Q_SIGNALS:
    void issuesChanged();

private:
    static QString describe(const std::exception& error);

    // What the writer thread found, handed back to the main thread.
    struct WriteOutcome {
        Resource resource;
        bool skipped = false; // an earlier write failed: this one was not tried
        bool written = false;
        bool writeFailure = false;
        QString description;
        std::vector<WriteDone> done;
    };
    template <class Value>
    void queueWrite(Resource resource, SafeJSONFile<Value>& file, const Value& value, std::vector<WriteDone> done);
    void queueWaitingStats();
    void deliverOutcomes();

    template <class Value> Value load(Resource resource, SafeJSONFile<Value>& file, Value fallback);
    template <class Value> bool save(Resource resource, SafeJSONFile<Value>& file, const Value& value);
    // Runs `operation` and records its outcome for `resource`; true when it succeeded.
    bool attempt(Resource resource, const std::function<void()>& operation);

    // Every operation on a resource ends in one of these two.
    void succeeded(Resource resource);
    void failed(Resource resource, const QString& description);
    // An issue that leaves the resource loaded: a failed fresh start or journal step.
    void setIssue(Resource resource, const QString& description);
    void clearIssues();
    void writeJournal(const SyncRecord& record);

    QString m_directory;
    QMap<Resource, QString> m_issues;
    QSet<Resource> m_loaded;
    QSet<Resource> m_writeFailures;
    FileIO::Writer m_write;
    UserDataEncoder m_libraryEncoder;
    SafeJSONFile<UserData> m_library;
    SafeJSONFile<AppSettings> m_preferences;
    SafeJSONFile<Stats> m_statistics;
    SafeJSONFile<SyncRecord> m_synchronization;
    SyncRecord m_syncRecord;

    bool m_background = false;
    bool m_startingUp = true;
    int m_statisticsDelayMs = 2000;
    int m_pendingWrites = 0;
    // Set by the writer thread when a write fails; cleared once every queued write reported.
    std::atomic<bool> m_halted{false};
    std::mutex m_outcomesMutex;
    std::deque<WriteOutcome> m_outcomes;
    bool m_statsWaiting = false;
    Stats m_waitingStats;
    std::vector<WriteDone> m_waitingStatsDone;
    QTimer m_statsTimer;
    QMetaObject::Connection m_quitConnection;
    // Last: its thread is ended, after running what is queued, before the files go.
    std::unique_ptr<OrderedWriter> m_writer;
};
