#include "ErrorCapture.h"
#include "Models/SyncFailure.h"
#include "Persistence/LibraryRecovery.h"
#include "StorageTestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sys/stat.h>

using Resource = LocalStore::Resource;
using StorageTest::library;

namespace {

const QString changedText = QStringLiteral("This file changed outside Velmora. Retry to load its latest contents.");
const QString interruptedSyncText = QStringLiteral(
    "A local sync was interrupted. Restore the pre-sync files to continue; both versions are preserved.");
const QString interruptedFreshStartText = QStringLiteral(
    "The fresh-start operation was interrupted. Your original files are saved; continue it to reopen Velmora.");

class LocalStoreTest : public StorageTest::StoreTest {
protected:
    QStringList folderEntries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // A sync record whose apply never finished.
    QByteArray pendingRecord() const
    {
        SyncRecord record;
        const SyncSnapshot snapshot{UserData::empty(), AppSettings::defaults(), Stats::empty()};
        record.pending = SyncLocalTransaction{snapshot, snapshot};
        return VelmoraJSON::encode(record);
    }
};

} // namespace

TEST(LocalStoreResource, NamesFilesAndTitles)
{
    QStringList raw, files, titles;
    for (const Resource resource : LocalStore::allResources()) {
        raw << LocalStore::rawValue(resource);
        files << LocalStore::fileName(resource);
        titles << LocalStore::title(resource);
    }
    EXPECT_EQ(raw,
        (QStringList{QStringLiteral("data"), QStringLiteral("settings"), QStringLiteral("stats"),
            QStringLiteral("sync-state")}));
    EXPECT_EQ(files,
        (QStringList{QStringLiteral("data.json"), QStringLiteral("settings.json"), QStringLiteral("stats.json"),
            QStringLiteral("sync-state.json")}));
    EXPECT_EQ(titles,
        (QStringList{QStringLiteral("Library"), QStringLiteral("Settings"), QStringLiteral("Stats"),
            QStringLiteral("Sync state")}));
}

TEST_F(LocalStoreTest, AnEmptyFolderIsReadyWithDefaultsAndNothingWritten)
{
    store = std::make_unique<LocalStore>(dir.path(), writer.writer());
    EXPECT_FALSE(store->isReady());
    EXPECT_TRUE(store->loadData().shortcuts.isEmpty());
    EXPECT_EQ(store->loadSettings().theme, QStringLiteral("system"));
    EXPECT_EQ(store->loadStats().totalExpansions, 0);
    EXPECT_TRUE(store->isReady());
    EXPECT_TRUE(store->issues().isEmpty());
    EXPECT_FALSE(store->firstIssue());
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(LocalStoreTest, TemporaryFilesOfCutShortWritesAreRemovedAtStartAndNothingElse)
{
    const QStringList leftovers = {QStringLiteral(".data.json.backup.tmp-3f9a0c1b2d4e5f60"),
        QStringLiteral(".stats.json.tmp-1"), QStringLiteral(".sync-state.json.tmp-abc")};
    const QStringList kept = {QStringLiteral(".notes.tmp-x"), QStringLiteral("data.json.tmp-1"),
        QStringLiteral(".hidden"), QStringLiteral("data.json.recovery-1")};
    for (const QString& name : leftovers + kept)
        dir.write(name, "x");
    store = std::make_unique<LocalStore>(dir.path(), writer.writer());
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(folderEntries(), expected);
}

TEST_F(LocalStoreTest, SavedValuesAreWhatTheNextStartLoads)
{
    open();
    AppSettings settings = AppSettings::defaults();
    settings.theme = QStringLiteral("dark");
    Stats stats = Stats::empty();
    stats.totalExpansions = 12;
    EXPECT_TRUE(store->saveData(library(QStringLiteral("hello"))));
    EXPECT_TRUE(store->saveSettings(settings));
    EXPECT_TRUE(store->saveStats(stats));

    LocalStore reopened(dir.path());
    EXPECT_EQ(reopened.loadData(), library(QStringLiteral("hello")));
    EXPECT_EQ(reopened.loadSettings().theme, QStringLiteral("dark"));
    EXPECT_EQ(reopened.loadStats().totalExpansions, 12);
    EXPECT_TRUE(reopened.isReady());
}

TEST_F(LocalStoreTest, EveryFileItWritesAndItsBackupIsPrivateToTheUser)
{
    open();
    Stats stats = Stats::empty();
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(store->saveData(library(QStringLiteral("hello %1").arg(round))));
        stats.totalExpansions = round;
        ASSERT_TRUE(store->saveStats(stats));
    }
    const QStringList written = folderEntries();
    for (const char* name : {"data.json", "data.json.backup", "stats.json", "stats.json.backup"})
        ASSERT_TRUE(written.contains(QLatin1String(name))) << name << " in " << written.join(u' ').toStdString();
    for (const QString& name : written)
        EXPECT_EQ(StorageTest::modeOf(dir.file(name)), 0600) << name.toStdString();
}

TEST_F(LocalStoreTest, AFifoInPlaceOfTheLibraryIsAnIssueNotAHang)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file(QStringLiteral("data.json"))).constData(), 0600), 0);
    open();
    EXPECT_FALSE(store->isReady());
    EXPECT_FALSE(store->saveData(library(QStringLiteral("hello"))));
}

TEST_F(LocalStoreTest, ADamagedLibraryBlocksEverySaveAndIsLeftAsItIs)
{
    dir.write(QStringLiteral("data.json"), "{\"shortcuts\": [");
    open();
    EXPECT_FALSE(store->isReady());
    EXPECT_EQ(store->firstIssue(), Resource::library);
    EXPECT_FALSE(issue(Resource::library).isEmpty());
    EXPECT_TRUE(store->loadData().shortcuts.isEmpty());
    EXPECT_FALSE(store->saveSettings(AppSettings::defaults()));
    EXPECT_FALSE(store->saveData(UserData::empty()));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), "{\"shortcuts\": [");
    EXPECT_TRUE(writer.written.isEmpty());
}

TEST_F(LocalStoreTest, ALibraryThatBreaksARuleIsAnIssueWithTheRuleSentence)
{
    dir.write(QStringLiteral("data.json"),
        "{\"shortcuts\": [{\"id\": \"A\", \"trigger\": \"\", \"expansion\": \"x\", \"order\": 0}]}");
    open();
    EXPECT_EQ(issue(Resource::library), QStringLiteral("Library contains an empty shortcut trigger or text."));
}

TEST_F(LocalStoreTest, AMissingLibraryWithABackupIsRestoredFromIt)
{
    dir.write(QStringLiteral("data.json.backup"), VelmoraJSON::encode(library(QStringLiteral("saved"))));
    open();
    EXPECT_EQ(issue(Resource::library),
        QStringLiteral("The original file is missing, but a backup exists. Restore it before continuing."));
    EXPECT_TRUE(store->hasBackup(Resource::library));
    EXPECT_FALSE(store->hasBackup(Resource::settings));
    EXPECT_TRUE(store->restoreBackup(Resource::library));
    EXPECT_TRUE(store->issues().isEmpty());
    EXPECT_TRUE(store->isReady());
    EXPECT_EQ(store->loadData(), library(QStringLiteral("saved")));
}

TEST_F(LocalStoreTest, RestoringWithoutABackupRecordsWhy)
{
    dir.write(QStringLiteral("stats.json"), "[]");
    open();
    EXPECT_FALSE(store->restoreBackup(Resource::stats));
    EXPECT_EQ(issue(Resource::stats), QStringLiteral("No backup is available for this file."));
}

TEST_F(LocalStoreTest, ALibraryChangedOutsideIsNotOverwrittenAndStopsStorage)
{
    open();
    ASSERT_TRUE(store->saveData(library(QStringLiteral("mine"))));
    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library(QStringLiteral("theirs"))));
    EXPECT_FALSE(store->saveData(library(QStringLiteral("mine again"))));
    EXPECT_EQ(issue(Resource::library), changedText);
    EXPECT_FALSE(store->isReady());
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(library(QStringLiteral("theirs"))));

    // Retrying is loading again, which adopts the outside version.
    EXPECT_EQ(store->loadData(), library(QStringLiteral("theirs")));
    EXPECT_TRUE(store->isReady());
}

TEST_F(LocalStoreTest, SavingWhatTheFileHoldsWritesNothing)
{
    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library(QStringLiteral("same"))));
    open();
    EXPECT_TRUE(store->saveData(library(QStringLiteral("same"))));
    EXPECT_TRUE(writer.written.isEmpty());
}

TEST_F(LocalStoreTest, AFailedWriteTakesTheFileOutOfServiceWithTheSystemReason)
{
    open();
    writer.failFilesNamed(QStringLiteral("settings.json"));
    EXPECT_FALSE(store->saveSettings(AppSettings::defaults()));
    EXPECT_EQ(
        issue(Resource::settings), QStringLiteral("The file “settings.json” could not be saved: Input/output error."));
    EXPECT_FALSE(store->isReady());
    EXPECT_FALSE(store->saveData(library(QStringLiteral("x"))));
}

TEST_F(LocalStoreTest, SavesAreRefusedBeforeTheirFileIsLoaded)
{
    store = std::make_unique<LocalStore>(dir.path(), writer.writer());
    EXPECT_FALSE(store->saveData(library(QStringLiteral("x"))));
    EXPECT_TRUE(store->issues().isEmpty());
    EXPECT_TRUE(writer.written.isEmpty());
}

TEST_F(LocalStoreTest, TheFirstIssueFollowsTheOrderOfTheFiles)
{
    dir.write(QStringLiteral("stats.json"), "[]");
    dir.write(QStringLiteral("sync-state.json"), "{\"version\": 2}");
    open();
    EXPECT_EQ(store->firstIssue(), Resource::stats);
    EXPECT_EQ(issue(Resource::sync),
        QStringLiteral("The cloud returned an unsupported or incomplete snapshot. Sync stopped."));
}

TEST_F(LocalStoreTest, IssueChangesAreAnnounced)
{
    dir.write(QStringLiteral("stats.json"), "[]");
    store = std::make_unique<LocalStore>(dir.path(), writer.writer());
    QSignalSpy spy(store.get(), &LocalStore::issuesChanged);
    store->loadStats();
    EXPECT_EQ(spy.count(), 1);
    store->loadStats();
    EXPECT_EQ(spy.count(), 1);
    dir.write(QStringLiteral("stats.json"), "{}");
    store->loadStats();
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(LocalStoreTest, AnUnfinishedFreshStartKeepsStorageClosedWithoutReadingTheSyncFile)
{
    dir.write(LibraryRecovery::markerFileName(), "{}");
    QDir(dir.path()).mkdir(QStringLiteral("sync-state.json"));
    open();
    EXPECT_EQ(issue(Resource::sync), interruptedFreshStartText);
    EXPECT_FALSE(store->isReady());
}

TEST_F(LocalStoreTest, AMarkerThatAppearsLaterClosesStorage)
{
    open();
    ASSERT_TRUE(store->isReady());
    dir.write(LibraryRecovery::markerFileName(), "{}");
    EXPECT_FALSE(store->isReady());
}

TEST_F(LocalStoreTest, AnInterruptedSyncOffersNoBackupOfTheSyncFile)
{
    dir.write(QStringLiteral("sync-state.json"), pendingRecord());
    dir.write(QStringLiteral("sync-state.json.backup"), pendingRecord());
    open();
    EXPECT_EQ(issue(Resource::sync), interruptedSyncText);
    EXPECT_FALSE(store->hasBackup(Resource::sync));
    EXPECT_FALSE(store->restoreBackup(Resource::sync));
    EXPECT_EQ(issue(Resource::sync), interruptedSyncText);
}

TEST_F(LocalStoreTest, ExportGivesTheLibraryAsSortedPrettyJSON)
{
    open();
    EXPECT_TRUE(store->saveData(library(QStringLiteral("exported"))));
    const std::optional<QString> text = store->exportJSON();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->toUtf8(), VelmoraJSON::encode(library(QStringLiteral("exported"))));
    EXPECT_TRUE(text->startsWith(QStringLiteral("{\n    \"customIcons\"")));
}

TEST_F(LocalStoreTest, ExportIsRefusedWhenNotReady)
{
    dir.write(QStringLiteral("settings.json"), "7");
    open();
    EXPECT_FALSE(store->exportJSON());
}

TEST_F(LocalStoreTest, ExportNeverAdoptsALibraryChangedOutside)
{
    open();
    ASSERT_TRUE(store->saveData(library(QStringLiteral("seen by the user"))));
    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library(QStringLiteral("changed outside"))));
    EXPECT_FALSE(store->exportJSON());
    EXPECT_EQ(issue(Resource::library), changedText);
    // The outside change did not become the baseline: saving over it is still refused.
    EXPECT_FALSE(store->saveData(library(QStringLiteral("seen by the user"))));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(library(QStringLiteral("changed outside"))));
}

TEST_F(LocalStoreTest, AFreshStartArchivesTheDamageAndReopensStorage)
{
    dir.write(QStringLiteral("data.json"), "damaged");
    dir.write(QStringLiteral("stats.json"), "{\"totalExpansions\": 3}");
    open();
    ASSERT_FALSE(store->isReady());
    const QString archive = store->archiveAndStartFresh();
    EXPECT_TRUE(store->isReady());
    EXPECT_TRUE(store->issues().isEmpty());
    EXPECT_EQ(dir.read(QFileInfo(archive).fileName() + QStringLiteral("/data.json")), "damaged");
    EXPECT_EQ(store->loadStats().totalExpansions, 0);
    EXPECT_TRUE(store->saveData(library(QStringLiteral("new start"))));
}

TEST_F(LocalStoreTest, AFreshStartThatFailsIsTheSyncIssueAndReachesTheCaller)
{
    dir.write(LibraryRecovery::markerFileName(),
        "{\"version\": 1, \"archiveID\": \"9B2F6E4A-1C3D-4E5F-8A7B-0C1D2E3F4A5B\", \"files\": {}, \"targets\": {}}");
    open();
    const auto failure = errorThrownBy<LibraryRecovery::Failure>([&] { store->archiveAndStartFresh(); });
    EXPECT_EQ(failure, LibraryRecovery::Failure(LibraryRecovery::Failure::invalidArchive));
    EXPECT_EQ(issue(Resource::sync),
        QStringLiteral("The saved recovery copy could not be verified. No further files were replaced."));
    EXPECT_FALSE(store->isReady());
}

TEST_F(LocalStoreTest, AFreshStartThatLeavesStorageUnusableSaysSo)
{
    open();
    // Something damages the new library while the last data file is being replaced.
    writer.fails = [this](const QString& path) {
        if (path == dir.file(QStringLiteral("sync-state.json")))
            dir.write(QStringLiteral("data.json"), "damaged again");
        return false;
    };
    const auto failure = errorThrownBy<SyncFailure>([&] { store->archiveAndStartFresh(); });
    EXPECT_EQ(failure, SyncFailure(SyncFailure::Kind::storageUnavailable));
    EXPECT_EQ(issue(Resource::sync),
        QStringLiteral("Sync could not save safely. Check the local recovery screen; no success was recorded."));
    EXPECT_FALSE(store->isReady());
}

TEST_F(LocalStoreTest, AnInterruptedFreshStartIsContinuedAfterARestart)
{
    dir.write(QStringLiteral("data.json"), "damaged");
    open();
    writer.fails = [this](const QString& path) { return path == dir.file(QStringLiteral("stats.json")); };
    EXPECT_EQ(descriptionThrownBy([&] { store->archiveAndStartFresh(); }),
        QStringLiteral("The file “stats.json” could not be saved: Input/output error."));
    EXPECT_EQ(issue(Resource::sync), QStringLiteral("The file “stats.json” could not be saved: Input/output error."));
    EXPECT_FALSE(store->isReady());
    writer.fails = [](const QString&) { return false; };

    open();
    EXPECT_EQ(issue(Resource::sync), interruptedFreshStartText);
    EXPECT_FALSE(store->hasBackup(Resource::library));
    const QString archive = store->archiveAndStartFresh();
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("library-recovery-*")}, QDir::Dirs),
        QStringList{QFileInfo(archive).fileName()});
    EXPECT_EQ(FileIO::read(QDir(archive).filePath(QStringLiteral("data.json"))), QByteArray("damaged"));
    EXPECT_TRUE(store->isReady());
    EXPECT_FALSE(dir.exists(LibraryRecovery::markerFileName()));
}

TEST_F(LocalStoreTest, WithItsOwnWriterEachSaveKeepsThePreviousLibraryAsTheBackup)
{
    LocalStore own(dir.path());
    own.loadData();
    own.loadSettings();
    own.loadStats();
    for (const QString& text : {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")})
        ASSERT_TRUE(own.saveData(library(text)));
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")), VelmoraJSON::encode(library(QStringLiteral("two"))));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(library(QStringLiteral("three"))));
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("data.json"), QStringLiteral("data.json.backup")}));
}

TEST_F(LocalStoreTest, WithItsOwnWriterAFailedBackupIsAWriteFailureThatLeavesTheLibrary)
{
    LocalStore own(dir.path());
    own.loadData();
    own.loadSettings();
    own.loadStats();
    ASSERT_TRUE(own.saveData(library(QStringLiteral("kept"))));
    QDir(dir.path()).mkpath(QStringLiteral("data.json.backup/taken"));

    EXPECT_FALSE(own.saveData(library(QStringLiteral("lost"))));
    EXPECT_TRUE(own.isWriteFailure(Resource::library));
    EXPECT_FALSE(own.isReady());
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(library(QStringLiteral("kept"))));
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("data.json"), QStringLiteral("data.json.backup")}));
}

TEST_F(LocalStoreTest, TextsAndIdsBeginningWithAByteOrderMarkSurviveEverySave)
{
    // Two ids that differ only by the mark, and texts that are nothing else.
    FileIO::writeAtomically(R"({"shortcuts": [{"id": "\ufeffs1", "trigger": "\ufeff;a", "expansion": "\ufeff"},)"
                            R"({"id": "s1", "trigger": ";b", "expansion": "\ufeffhi\n"}]})",
        dir.path() + QStringLiteral("/data.json"), FileIO::Access::ownerOnly);
    open();
    UserData data = store->loadData();
    ASSERT_TRUE(store->isReady());
    ASSERT_EQ(data.shortcuts.size(), 2);
    EXPECT_EQ(data.shortcuts[0].expansion.toString(), QStringLiteral("\ufeff"));

    data.shortcuts[1].order = 5;
    EXPECT_TRUE(store->saveData(data));
    data.shortcuts[0].order = 6;
    EXPECT_TRUE(store->saveData(data));

    LocalStore reopened(dir.path());
    const UserData read = reopened.loadData();
    EXPECT_TRUE(reopened.issues().isEmpty()) << reopened.issues().value(Resource::library).toStdString();
    EXPECT_TRUE(UserData::identical(read, data));
}
