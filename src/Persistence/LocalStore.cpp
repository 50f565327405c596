#include "Persistence/LocalStore.h"

#include "Models/SyncFailure.h"
#include "Models/UserDataDecoder.h"
#include "Persistence/FileSystemError.h"
#include "Persistence/LibraryRecovery.h"
#include "Utilities/BackgroundRelease.h"
#include "Utilities/Clock.h"
#include "Utilities/Constants.h"
#include "Utilities/HeapPolicy.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <memory>
#include <optional>
#include <utility>

namespace {

using Resource = LocalStore::Resource;

// Bytes of a file read at start-up this large are let go of on another thread.
constexpr qsizetype backgroundReleaseSize = 4 * 1024 * 1024;

QString filePath(const QString& directory, Resource resource)
{
    return QDir(directory).filePath(LocalStore::fileName(resource));
}

} // namespace

QString LocalStore::describe(const std::exception& error)
{
    if (const auto* failure = dynamic_cast<const VelmoraError*>(&error))
        return failure->errorDescription();
    return QString::fromLocal8Bit(error.what());
}

QList<Resource> LocalStore::allResources()
{
    return {Resource::library, Resource::settings, Resource::stats, Resource::sync};
}

QString LocalStore::rawValue(Resource resource)
{
    switch (resource) {
    case Resource::library: return QStringLiteral("data");
    case Resource::settings: return QStringLiteral("settings");
    case Resource::stats: return QStringLiteral("stats");
    case Resource::sync: return QStringLiteral("sync-state");
    }
    return {};
}

QString LocalStore::fileName(Resource resource)
{
    return rawValue(resource) + QStringLiteral(".json");
}

QString LocalStore::title(Resource resource)
{
    switch (resource) {
    case Resource::library: return QStringLiteral("Library");
    case Resource::settings: return QStringLiteral("Settings");
    case Resource::stats: return QStringLiteral("Stats");
    case Resource::sync: return QStringLiteral("Sync state");
    }
    return {};
}

LocalStore& LocalStore::shared()
{
    static LocalStore store(Constants::appSupportDir());
    // The application's files are written off the interface thread.
    static const bool inBackground = [] {
        store.setBackgroundWrites(true);
        return true;
    }();
    Q_UNUSED(inBackground);
    return store;
}

namespace {

// A backup can take over the replaced file's own blocks only while every file of the store is
// replaced by renaming a new one over it, never rewritten in place. A writer passed in (a test's)
// keeps seeing every file written through it.
FileIO::Replacer replacerFor(const FileIO::Writer& write)
{
    using Plain = void (*)(const QByteArray&, const QString&, FileIO::Access);
    const Plain* plain = write.target<Plain>();
    if (plain && *plain == &FileIO::writeAtomically)
        return FileIO::replaceKeepingPrevious;
    return {};
}

} // namespace

LocalStore::LocalStore(QString directory, FileIO::Writer write, QObject* parent)
    : QObject(parent)
    , m_directory(std::move(directory))
    , m_write(std::move(write))
    , m_library(
          filePath(m_directory, Resource::library), &UserData::empty, m_write,
          [](const UserData& data) { data.validate(); }, FileIO::read, replacerFor(m_write))
    , m_preferences(filePath(m_directory, Resource::settings), &AppSettings::defaults, m_write, {}, FileIO::read,
          replacerFor(m_write))
    , m_statistics(
          filePath(m_directory, Resource::stats), &Stats::empty, m_write, {}, FileIO::read, replacerFor(m_write))
    , m_synchronization(
          filePath(m_directory, Resource::sync), [] { return SyncRecord(); }, m_write,
          [](const SyncRecord& record) { record.validate(); }, FileIO::read, replacerFor(m_write))
{
    // The file holds what the last save wrote, unless that failed or another program changed
    // it since: the encoder checks what it copies from it either way.
    m_library.setEncoder([this, path = m_library.path()](const UserData& data) {
        const FileIO::PieceReader file(path);
        return m_libraryEncoder.encode(data, {file.size(), [&file](qsizetype offset, qsizetype size, char* into) {
                                                  return file.read(offset, size, into);
                                              }});
    });
    // The library reads itself and checks its rules as it is read: once is enough.
    m_library.setDecoder(&UserDataDecoder::decode);
    // One instance runs at a time, so no write of ours is under way here: every temporary
    // file left is from one that was cut short.
    FileIO::removeTemporaryFiles(m_directory);
    loadSyncState();
    m_statsTimer.setSingleShot(true);
    connect(&m_statsTimer, &QTimer::timeout, this, [this] { queueWaitingStats(); });
}

LocalStore::~LocalStore()
{
    flushWrites();
}

void LocalStore::setBackgroundWrites(bool enabled, int statisticsDelayMs)
{
    flushWrites();
    m_background = enabled;
    m_statisticsDelayMs = statisticsDelayMs;
    QObject::disconnect(m_quitConnection);
    if (enabled) {
        if (!m_writer)
            m_writer = std::make_unique<OrderedWriter>();
        // Counts that wait for their write are not lost by an ordinary quit.
        if (QCoreApplication* app = QCoreApplication::instance())
            m_quitConnection = connect(app, &QCoreApplication::aboutToQuit, this, [this] { flushWrites(); });
    }
}

// ---------------------------------------------------------------- ordered writes

template <class Value>
void LocalStore::queueWrite(
    Resource resource, SafeJSONFile<Value>& file, const Value& value, std::vector<WriteDone> done)
{
    ++m_pendingWrites;
    // Runs on the writer thread while background writes are on. The safe files it writes are
    // touched by nothing else until their outcome is delivered: every other operation waits
    // for the writer first.
    auto job = [this, background = m_background, resource, &file, value, done = std::move(done)]() mutable {
        WriteOutcome outcome{resource, false, false, false, {}, std::move(done)};
        if (m_halted.load()) {
            outcome.skipped = true;
        } else {
            try {
                file.save(value);
                outcome.written = true;
            } catch (const FileSystemError& error) {
                outcome.writeFailure = error.operation() != FileSystemError::Operation::read;
                outcome.description = describe(error);
            } catch (const std::exception& error) {
                outcome.description = describe(error);
            }
            if (!outcome.written)
                m_halted.store(true);
            // A large library's save frees tens of megabytes of encoding scraps, which the heap
            // would otherwise keep resident after every edit. Off the interface thread only.
            // Statistics and settings are a few kilobytes, and statistics are saved after every
            // expansion: trimming then would hand back pages that the next expansion faults in
            // again, for nothing.
            if (background && (resource == Resource::library || resource == Resource::sync))
                HeapPolicy::trim();
        }
        {
            const std::lock_guard lock(m_outcomesMutex);
            m_outcomes.push_back(std::move(outcome));
        }
        if (background)
            QMetaObject::invokeMethod(this, &LocalStore::deliverOutcomes, Qt::QueuedConnection);
    };
    if (m_background) {
        m_writer->post(std::move(job));
    } else {
        job();
        deliverOutcomes();
    }
}

void LocalStore::deliverOutcomes()
{
    for (;;) {
        WriteOutcome outcome;
        {
            const std::lock_guard lock(m_outcomesMutex);
            if (m_outcomes.empty())
                break;
            outcome = std::move(m_outcomes.front());
            m_outcomes.pop_front();
        }
        --m_pendingWrites;
        if (m_pendingWrites == 0)
            m_halted.store(false);
        if (outcome.written) {
            succeeded(outcome.resource);
        } else if (!outcome.skipped) {
            if (outcome.writeFailure)
                m_writeFailures.insert(outcome.resource);
            failed(outcome.resource, outcome.description);
        }
        for (const WriteDone& done : outcome.done) {
            if (done)
                done(outcome.written);
        }
    }
}

bool LocalStore::saveDataInOrder(const UserData& data, WriteDone done)
{
    if (!m_loaded.contains(Resource::library) || !m_issues.isEmpty())
        return false;
    queueWrite(Resource::library, m_library, data, {std::move(done)});
    return true;
}

bool LocalStore::saveStatsSoon(const Stats& stats, WriteDone done)
{
    if (!m_loaded.contains(Resource::stats) || !m_issues.isEmpty())
        return false;
    m_waitingStats = stats;
    m_waitingStatsDone.push_back(std::move(done));
    m_statsWaiting = true;
    if (!m_background)
        queueWaitingStats();
    else if (!m_statsTimer.isActive())
        m_statsTimer.start(m_statisticsDelayMs);
    return true;
}

void LocalStore::queueWaitingStats()
{
    m_statsTimer.stop();
    if (!m_statsWaiting)
        return;
    m_statsWaiting = false;
    std::vector<WriteDone> done = std::move(m_waitingStatsDone);
    m_waitingStatsDone.clear();
    // A write that failed since these were accepted stops them like every later save.
    if (!m_loaded.contains(Resource::stats) || !m_issues.isEmpty()) {
        m_waitingStats = Stats{};
        for (const WriteDone& callback : done) {
            if (callback)
                callback(false);
        }
        return;
    }
    queueWrite(Resource::stats, m_statistics, std::exchange(m_waitingStats, Stats{}), std::move(done));
}

void LocalStore::flushWrites()
{
    queueWaitingStats();
    if (m_writer)
        m_writer->waitUntilIdle();
    deliverOutcomes();
}

bool LocalStore::isReady() const
{
    return m_loaded.size() == allResources().size() && m_issues.isEmpty()
        && !FileIO::exists(QDir(m_directory).filePath(LibraryRecovery::markerFileName()));
}

std::optional<Resource> LocalStore::firstIssue() const
{
    if (m_issues.isEmpty())
        return std::nullopt;
    return m_issues.firstKey();
}

bool LocalStore::hasBackup(Resource resource) const
{
    if (resource == Resource::sync && m_syncRecord.pending)
        return false;
    return FileIO::exists(filePath(m_directory, resource) + QStringLiteral(".backup"));
}

// ---------------------------------------------------------------- recording outcomes

void LocalStore::succeeded(Resource resource)
{
    m_loaded.insert(resource);
    m_writeFailures.remove(resource);
    if (m_issues.contains(resource)) {
        m_issues.remove(resource);
        Q_EMIT issuesChanged();
    }
}

void LocalStore::failed(Resource resource, const QString& description)
{
    m_loaded.remove(resource);
    setIssue(resource, description);
}

void LocalStore::setIssue(Resource resource, const QString& description)
{
    if (m_issues.contains(resource) && m_issues.value(resource) == description)
        return;
    m_issues.insert(resource, description);
    Q_EMIT issuesChanged();
}

void LocalStore::clearIssues()
{
    m_writeFailures.clear();
    if (m_issues.isEmpty())
        return;
    m_issues.clear();
    Q_EMIT issuesChanged();
}

bool LocalStore::attempt(Resource resource, const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const std::exception& error) {
        failed(resource, describe(error));
        return false;
    }
    succeeded(resource);
    return true;
}

// ---------------------------------------------------------------- loads and saves

template <class Value> Value LocalStore::load(Resource resource, SafeJSONFile<Value>& file, Value fallback)
{
    m_writeFailures.remove(resource);
    attempt(resource, [&] { fallback = file.load(); });
    return fallback;
}

template <class Value> bool LocalStore::save(Resource resource, SafeJSONFile<Value>& file, const Value& value)
{
    if (!m_loaded.contains(resource) || !m_issues.isEmpty())
        return false;
    return attempt(resource, [&] {
        try {
            file.save(value);
        } catch (const FileSystemError& error) {
            if (error.operation() != FileSystemError::Operation::read)
                m_writeFailures.insert(resource);
            throw;
        }
    });
}

UserData LocalStore::loadData()
{
    flushWrites();
    m_writeFailures.remove(Resource::library);
    UserData data = UserData::empty();
    QByteArray read;
    if (!attempt(Resource::library, [&] { data = m_library.load(&read); }))
        return data;
    // A large library's bytes are not held while they are checked: they are read again a
    // piece at a time from the file, provided it is still the one just read. Ours are only
    // ever replaced, never rewritten in place, and the check ends by making sure of it.
    const std::optional<FileIO::FileIdentity> loaded = m_library.knownIdentity();
    auto file = std::make_shared<const FileIO::PieceReader>(m_library.path());
    if (!loaded || file->identity() != loaded) {
        m_libraryEncoder.adoptLater(UserDataEncoder::inMemory(std::exchange(read, QByteArray())), {}, data);
        if (!m_startingUp)
            m_libraryEncoder.startAdopting();
        return data;
    }
    // Handing tens of megabytes back to the system is not for the start-up's own thread.
    if (read.size() >= backgroundReleaseSize)
        BackgroundRelease::worker().post([bytes = std::exchange(read, QByteArray())] { Q_UNUSED(bytes); });
    read = QByteArray();
    m_libraryEncoder.adoptLater({file->size(),
                                    [file](qsizetype offset, qsizetype size, char* into) {
                                        return file->read(offset, size, into);
                                    }},
        [file, loaded] { return file->identity() == loaded; }, data);
    if (!m_startingUp)
        m_libraryEncoder.startAdopting();
    return data;
}

void LocalStore::startUpDone()
{
    m_startingUp = false;
    // A library save under way or queued starts the learning itself, on the writer's thread,
    // which alone touches the encoder until its outcome is in.
    if (m_pendingWrites == 0)
        m_libraryEncoder.startAdopting();
}

AppSettings LocalStore::loadSettings()
{
    flushWrites();
    return load(Resource::settings, m_preferences, AppSettings::defaults());
}

Stats LocalStore::loadStats()
{
    flushWrites();
    return load(Resource::stats, m_statistics, Stats::empty());
}

void LocalStore::loadSyncState()
{
    flushWrites();
    if (FileIO::exists(QDir(m_directory).filePath(LibraryRecovery::markerFileName()))) {
        failed(Resource::sync, LibraryRecovery::Failure(LibraryRecovery::Failure::interrupted).errorDescription());
        return;
    }
    attempt(Resource::sync, [&] {
        m_syncRecord = m_synchronization.load();
        if (m_syncRecord.pending)
            throw SyncFailure(SyncFailure::Kind::interrupted);
    });
}

bool LocalStore::saveData(const UserData& data)
{
    flushWrites();
    return save(Resource::library, m_library, data);
}

bool LocalStore::saveSettings(const AppSettings& settings)
{
    flushWrites();
    return save(Resource::settings, m_preferences, settings);
}

bool LocalStore::saveStats(const Stats& stats)
{
    flushWrites();
    return save(Resource::stats, m_statistics, stats);
}

// ---------------------------------------------------------------- recovery

bool LocalStore::restoreBackup(Resource resource)
{
    flushWrites();
    return attempt(resource, [&] {
        switch (resource) {
        case Resource::library: m_library.restoreBackup(); break;
        case Resource::settings: m_preferences.restoreBackup(); break;
        case Resource::stats: m_statistics.restoreBackup(); break;
        case Resource::sync:
            m_syncRecord = m_synchronization.restoreBackup();
            if (m_syncRecord.pending)
                throw SyncFailure(SyncFailure::Kind::interrupted);
            break;
        }
    });
}

QString LocalStore::archiveAndStartFresh()
{
    flushWrites();
    try {
        QString archive = LibraryRecovery::start(m_directory, m_write);
        clearIssues();
        m_loaded.clear();
        loadSyncState();
        loadData();
        loadSettings();
        loadStats();
        if (!isReady())
            throw SyncFailure(SyncFailure::Kind::storageUnavailable);
        return archive;
    } catch (const std::exception& error) {
        setIssue(Resource::sync, describe(error));
        throw;
    }
}

QString LocalStore::keepDataCopies()
{
    flushWrites();
    const QDateTime now = Clock::current().now().toTimeZone(Clock::current().timeZone());
    return LibraryRecovery::keepCopies(
        m_directory, QStringLiteral("library-backup-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")), m_write);
}

std::optional<QString> LocalStore::exportJSON()
{
    flushWrites();
    if (!isReady())
        return std::nullopt;
    // Exports what the user sees: a data file changed by another program is reported, not
    // exported and adopted behind the user's back.
    std::optional<QString> text;
    attempt(Resource::library, [&] { text = QString::fromUtf8(VelmoraJSON::encode(m_library.verifiedValue())); });
    return text;
}
