#include "Persistence/LocalStore.h"

#include "Models/SyncFailure.h"
#include "Persistence/FileSystemError.h"
#include "Persistence/LibraryRecovery.h"
#include "Utilities/Clock.h"
#include "Utilities/Constants.h"

#include <QDateTime>
#include <QDir>

namespace {

using Resource = LocalStore::Resource;

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
    , m_statistics(filePath(m_directory, Resource::stats), &Stats::empty, m_write, {}, FileIO::read, replacerFor(m_write))
    , m_synchronization(
          filePath(m_directory, Resource::sync), [] { return SyncRecord(); }, m_write,
          [](const SyncRecord& record) { record.validate(); }, FileIO::read, replacerFor(m_write))
{
    m_library.setEncoder([this](const UserData& data) { return m_libraryEncoder.encode(data); });
    // One instance runs at a time, so no write of ours is under way here: every temporary
    // file left is from one that was cut short.
    FileIO::removeTemporaryFiles(m_directory);
    loadSyncState();
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

template <class Value>
Value LocalStore::load(Resource resource, SafeJSONFile<Value>& file, Value fallback)
{
    m_writeFailures.remove(resource);
    attempt(resource, [&] { fallback = file.load(); });
    return fallback;
}

template <class Value>
bool LocalStore::save(Resource resource, SafeJSONFile<Value>& file, const Value& value)
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
    UserData data = load(Resource::library, m_library, UserData::empty());
    if (m_loaded.contains(Resource::library))
        m_libraryEncoder.adopt(m_library.rememberedBytes(), data);
    return data;
}

AppSettings LocalStore::loadSettings()
{
    return load(Resource::settings, m_preferences, AppSettings::defaults());
}

Stats LocalStore::loadStats()
{
    return load(Resource::stats, m_statistics, Stats::empty());
}

void LocalStore::loadSyncState()
{
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
    return save(Resource::library, m_library, data);
}

bool LocalStore::saveSettings(const AppSettings& settings)
{
    return save(Resource::settings, m_preferences, settings);
}

bool LocalStore::saveStats(const Stats& stats)
{
    return save(Resource::stats, m_statistics, stats);
}

// ---------------------------------------------------------------- recovery

bool LocalStore::restoreBackup(Resource resource)
{
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
    const QDateTime now = Clock::current().now().toTimeZone(Clock::current().timeZone());
    return LibraryRecovery::keepCopies(m_directory,
        QStringLiteral("library-backup-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")), m_write);
}

std::optional<QString> LocalStore::exportJSON()
{
    if (!isReady())
        return std::nullopt;
    // Exports what the user sees: a data file changed by another program is reported, not
    // exported and adopted behind the user's back.
    std::optional<QString> text;
    attempt(Resource::library, [&] { text = QString::fromUtf8(VelmoraJSON::encode(m_library.verifiedValue())); });
    return text;
}
