#include "ErrorCapture.h"
#include "Models/CloudSyncSnapshot.h"
#include "Models/SyncFailure.h"
#include "StorageTestSupport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using Resource = LocalStore::Resource;
using StorageTest::library;

namespace {

const QString interruptedText = QStringLiteral(
    "A local sync was interrupted. Restore the pre-sync files to continue; both versions are preserved.");
const QString localChangedText
    = QStringLiteral("Your local library changed during sync. Review the latest versions and try again.");

SyncOwner owner(const QString& user = QStringLiteral("5F0C2B1E-7A3D-4C9B-8E6F-1A2B3C4D5E6F"))
{
    return SyncOwner{QStringLiteral("https://example.supabase.co"), user};
}

SyncSnapshot snapshot(const QString& text, const QString& theme, qint64 expansions)
{
    AppSettings settings = AppSettings::defaults();
    settings.theme = theme;
    Stats stats = Stats::empty();
    stats.totalExpansions = expansions;
    return SyncSnapshot{library(text), settings, stats};
}

SyncFailure::Kind failureKind(const std::function<void()>& operation)
{
    const auto failure = errorThrownBy<SyncFailure>(operation);
    return failure ? failure->kind() : SyncFailure::Kind::busy;
}

class SyncJournalTest : public StorageTest::StoreTest {
protected:
    // The files hold `local`, saved through the store as the application would.
    void startWith(const SyncSnapshot& local)
    {
        open();
        ASSERT_TRUE(store->saveData(local.data));
        ASSERT_TRUE(store->saveSettings(local.settings));
        ASSERT_TRUE(store->saveStats(local.stats));
        writer.written.clear();
    }

    QStringList writtenNames() const
    {
        QStringList names;
        for (const QString& path : writer.written)
            names << QFileInfo(path).fileName();
        return names;
    }

    SyncRecord recordOnDisk() const
    {
        return VelmoraJSON::decode<SyncRecord>(dir.read(QStringLiteral("sync-state.json")));
    }

    bool filesHold(const SyncSnapshot& expected) const
    {
        return dir.read(QStringLiteral("data.json")) == VelmoraJSON::encode(expected.data)
            && dir.read(QStringLiteral("settings.json")) == VelmoraJSON::encode(expected.settings)
            && dir.read(QStringLiteral("stats.json")) == VelmoraJSON::encode(expected.stats);
    }

    // An apply that stopped before writing `stoppedAt` (one of the four files it writes).
    void interruptApply(const QString& stoppedAt, int journalWrite = 1)
    {
        int journalWrites = 0;
        writer.fails = [=, &journalWrites](const QString& path) {
            const QString name = QFileInfo(path).fileName();
            if (name == QStringLiteral("sync-state.json"))
                ++journalWrites;
            return name == stoppedAt && (name != QStringLiteral("sync-state.json") || journalWrites == journalWrite);
        };
        EXPECT_EQ(
            failureKind([&] { store->applySync(after, before, owner()); }), SyncFailure::Kind::storageUnavailable);
        writer.fails = [](const QString&) { return false; };
    }

    const SyncSnapshot before = snapshot(QStringLiteral("local"), QStringLiteral("light"), 4);
    const SyncSnapshot after = snapshot(QStringLiteral("synced"), QStringLiteral("dark"), 9);
};

} // namespace

TEST_F(SyncJournalTest, SnapshotReadsTheThreeFilesAsTheyAre)
{
    startWith(before);
    EXPECT_TRUE(store->snapshotForSync().matches(before));
}

TEST_F(SyncJournalTest, SnapshotIsRefusedWhileStorageIsNotReady)
{
    dir.write(QStringLiteral("stats.json"), "[]");
    open();
    EXPECT_EQ(failureKind([&] { store->snapshotForSync(); }), SyncFailure::Kind::storageUnavailable);
    EXPECT_FALSE(store->issues().contains(Resource::sync));
}

TEST_F(SyncJournalTest, SnapshotOfFilesChangedOutsideRecordsWhyAndRefuses)
{
    startWith(before);
    dir.write(QStringLiteral("sync-state.json"), "{\"version\": 1}");
    EXPECT_EQ(failureKind([&] { store->snapshotForSync(); }), SyncFailure::Kind::storageUnavailable);
    EXPECT_EQ(
        issue(Resource::sync), QStringLiteral("This file changed outside Velmora. Retry to load its latest contents."));
    EXPECT_FALSE(store->isReady());
}

TEST_F(SyncJournalTest, AnApplyWritesTheFilesAndThenTheNewBaseline)
{
    startWith(before);
    store->applySync(after, before, owner());
    // The journal is new, so it has no backup yet; its completion does.
    EXPECT_EQ(writtenNames(),
        (QStringList{QStringLiteral("sync-state.json"), QStringLiteral("data.json.backup"), QStringLiteral("data.json"),
            QStringLiteral("settings.json.backup"), QStringLiteral("settings.json"),
            QStringLiteral("stats.json.backup"), QStringLiteral("stats.json"), QStringLiteral("sync-state.json.backup"),
            QStringLiteral("sync-state.json")}))
        << writtenNames().join(u' ').toStdString();
    EXPECT_TRUE(filesHold(after));
    const SyncRecord record = recordOnDisk();
    EXPECT_FALSE(record.pending);
    EXPECT_EQ(record.owner, owner());
    ASSERT_TRUE(record.baseline);
    EXPECT_TRUE(record.baseline->matches(after));
    EXPECT_EQ(store->syncRecord().owner, owner());
    EXPECT_TRUE(store->isReady());
    EXPECT_TRUE(store->saveData(library(QStringLiteral("after the sync"))));
}

TEST_F(SyncJournalTest, AnApplyOverFilesThatChangedSinceTheSnapshotWritesNothing)
{
    startWith(before);
    ASSERT_TRUE(store->saveData(library(QStringLiteral("typed meanwhile"))));
    writer.written.clear();
    EXPECT_EQ(failureKind([&] { store->applySync(after, before, owner()); }), SyncFailure::Kind::localChanged);
    EXPECT_TRUE(writer.written.isEmpty());
    EXPECT_TRUE(store->issues().isEmpty());
}

TEST_F(SyncJournalTest, AnInvalidSnapshotIsRefusedWithItsOwnError)
{
    startWith(before);
    SyncSnapshot invalid = after;
    invalid.data.shortcuts.first().trigger.clear();
    EXPECT_EQ(descriptionThrownBy([&] { store->applySync(invalid, before, owner()); }),
        QStringLiteral("Library contains an empty shortcut trigger or text."));
    EXPECT_TRUE(writer.written.isEmpty());
    EXPECT_TRUE(store->issues().isEmpty());
}

TEST_F(SyncJournalTest, AJournalThatCannotBeWrittenStopsTheApplyBeforeAnyDataFile)
{
    startWith(before);
    interruptApply(QStringLiteral("sync-state.json"));
    EXPECT_EQ(
        issue(Resource::sync), QStringLiteral("The file “sync-state.json” could not be saved: Input/output error."));
    EXPECT_TRUE(filesHold(before));
    EXPECT_FALSE(store->syncRecord().pending);
}

TEST_F(SyncJournalTest, AFailedDataFileLeavesTheJournalAndMarksTheSyncInterrupted)
{
    startWith(before);
    interruptApply(QStringLiteral("settings.json"));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(after.data));
    EXPECT_TRUE(recordOnDisk().pending);
    EXPECT_EQ(
        issue(Resource::settings), QStringLiteral("The file “settings.json” could not be saved: Input/output error."));
    EXPECT_EQ(issue(Resource::sync), interruptedText);
    EXPECT_FALSE(store->isReady());
}

TEST_F(SyncJournalTest, ResolvingPutsThePreSyncFilesBackAndKeepsTheOldBaseline)
{
    startWith(before);
    interruptApply(QStringLiteral("settings.json"));
    writer.written.clear();
    EXPECT_TRUE(store->restoreInterruptedSync());
    EXPECT_EQ(writtenNames(),
        (QStringList{QStringLiteral("data.json.backup"), QStringLiteral("data.json"),
            QStringLiteral("sync-state.json.backup"), QStringLiteral("sync-state.json")}));
    EXPECT_TRUE(filesHold(before));
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")), VelmoraJSON::encode(after.data));
    const SyncRecord record = recordOnDisk();
    EXPECT_FALSE(record.pending);
    EXPECT_FALSE(record.owner);
    EXPECT_TRUE(store->issues().isEmpty());
    EXPECT_TRUE(store->isReady());
    EXPECT_TRUE(store->saveData(library(QStringLiteral("working again"))));
}

TEST_F(SyncJournalTest, ResolvingAJournalWhoseFilesAreUntouchedRewritesOnlyTheJournal)
{
    startWith(before);
    interruptApply(QStringLiteral("data.json"));
    writer.written.clear();
    EXPECT_TRUE(store->restoreInterruptedSync());
    EXPECT_EQ(
        writtenNames(), (QStringList{QStringLiteral("sync-state.json.backup"), QStringLiteral("sync-state.json")}));
}

TEST_F(SyncJournalTest, ALibraryInAnotherOrderStillCountsAsThePreSyncOne)
{
    SyncSnapshot twoShortcuts = before;
    Shortcut second = twoShortcuts.data.shortcuts.first();
    second.id = QStringLiteral("S2");
    second.trigger = QStringLiteral("/addr");
    twoShortcuts.data.shortcuts.append(second);
    SyncRecord journal;
    journal.pending = SyncLocalTransaction{twoShortcuts, after};
    UserData reordered = twoShortcuts.data;
    std::reverse(reordered.shortcuts.begin(), reordered.shortcuts.end());
    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(reordered));
    dir.write(QStringLiteral("settings.json"), VelmoraJSON::encode(twoShortcuts.settings));
    dir.write(QStringLiteral("stats.json"), VelmoraJSON::encode(twoShortcuts.stats));
    dir.write(QStringLiteral("sync-state.json"), VelmoraJSON::encode(journal));

    open();
    EXPECT_EQ(issue(Resource::sync), interruptedText);
    EXPECT_TRUE(store->restoreInterruptedSync());
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(twoShortcuts.data));
}

TEST_F(SyncJournalTest, AFileEditedAfterTheInterruptionStopsTheResolution)
{
    startWith(before);
    interruptApply(QStringLiteral("settings.json"));
    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library(QStringLiteral("edited by hand"))));
    writer.written.clear();
    EXPECT_FALSE(store->restoreInterruptedSync());
    EXPECT_EQ(issue(Resource::sync), localChangedText);
    EXPECT_TRUE(writer.written.isEmpty());
    EXPECT_TRUE(recordOnDisk().pending);
}

TEST_F(SyncJournalTest, AJournalChangedOnDiskStopsTheResolution)
{
    startWith(before);
    interruptApply(QStringLiteral("settings.json"));
    dir.write(QStringLiteral("sync-state.json"), dir.read(QStringLiteral("sync-state.json")) + ' ');
    EXPECT_FALSE(store->restoreInterruptedSync());
    EXPECT_EQ(
        issue(Resource::sync), QStringLiteral("This file changed outside Velmora. Retry to load its latest contents."));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(after.data));
}

TEST_F(SyncJournalTest, AFailedRollbackKeepsTheJournalAndCanBeFinishedLater)
{
    startWith(before);
    interruptApply(QStringLiteral("stats.json"));
    writer.failFilesNamed(QStringLiteral("settings.json"));
    EXPECT_FALSE(store->restoreInterruptedSync());
    EXPECT_EQ(
        issue(Resource::sync), QStringLiteral("The file “settings.json” could not be saved: Input/output error."));
    EXPECT_TRUE(recordOnDisk().pending);
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(before.data));

    writer.fails = [](const QString&) { return false; };
    EXPECT_TRUE(store->restoreInterruptedSync());
    EXPECT_TRUE(filesHold(before));
    EXPECT_TRUE(store->isReady());
}

TEST_F(SyncJournalTest, WithoutAJournalThereIsNothingToResolve)
{
    startWith(before);
    EXPECT_FALSE(store->restoreInterruptedSync());
    EXPECT_TRUE(store->issues().isEmpty());
    EXPECT_TRUE(writer.written.isEmpty());
}

// Wherever an apply stops, a restart finds the journal and the recovery puts the pre-sync
// files back.
class InterruptedApplyTest : public SyncJournalTest,
                             public ::testing::WithParamInterface<std::pair<const char*, int>> { };

TEST_P(InterruptedApplyTest, IsResolvedAfterARestart)
{
    const auto [file, journalWrite] = GetParam();
    startWith(before);
    interruptApply(QString::fromLatin1(file), journalWrite);
    store.reset();

    open();
    EXPECT_EQ(issue(Resource::sync), interruptedText);
    EXPECT_FALSE(store->hasBackup(Resource::sync));
    EXPECT_FALSE(store->isReady());
    EXPECT_TRUE(store->restoreInterruptedSync());
    EXPECT_TRUE(filesHold(before));
    EXPECT_TRUE(store->isReady());
    EXPECT_FALSE(recordOnDisk().pending);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, InterruptedApplyTest,
    ::testing::Values(std::pair{"data.json", 1}, std::pair{"settings.json", 1}, std::pair{"stats.json", 1},
        std::pair{"sync-state.json", 2}));

TEST_F(SyncJournalTest, ArchivesArePrivateAndHoldBothSidesWithTheAccount)
{
    open();
    const mode_t previous = ::umask(0);
    const CloudSyncSnapshot cloud{owner().userID, QStringLiteral("rev-7"), true, after};
    const QString first = store->archiveSync(before, cloud, owner());
    const QString second = store->archiveSync(before, cloud, owner());
    ::umask(previous);

    EXPECT_NE(first, second);
    for (const QString& path : {first, second}) {
        const QString name = QFileInfo(path).fileName();
        EXPECT_TRUE(name.startsWith(QStringLiteral("sync-recovery-")) && name.endsWith(QStringLiteral(".json")));
        EXPECT_TRUE(Uuid::parse(name.mid(14, 36)));
        EXPECT_EQ(name.mid(14, 36), name.mid(14, 36).toUpper());
        EXPECT_EQ(StorageTest::modeOf(path), 0600);
    }
    const QByteArray bytes = dir.read(QFileInfo(first).fileName());
    const QJsonObject archive = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(archive.keys(), (QStringList{QStringLiteral("cloud"), QStringLiteral("local"), QStringLiteral("owner")}));
    EXPECT_EQ(VelmoraJSON::decode<SyncOwner>(VelmoraJSON::encode(archive.value(QStringLiteral("owner")))), owner());
    EXPECT_TRUE(
        VelmoraJSON::decode<SyncSnapshot>(VelmoraJSON::encode(archive.value(QStringLiteral("local")))).matches(before));
    EXPECT_EQ(bytes, VelmoraJSON::encode(archive));
    EXPECT_TRUE(store->issues().isEmpty());
}
