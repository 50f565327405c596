#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "Persistence/StorageTestSupport.h"
#include "WidgetLookup.h"

#include "Models/SyncRecord.h"
#include "Models/VelmoraJSON.h"
#include "Persistence/FileSystemError.h"
#include "Persistence/LibraryRecovery.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

using Resource = LocalStore::Resource;

namespace {

const QString restoreSync = QStringLiteral("Restore files from before sync");
const QString freshStart = QStringLiteral("Save a copy and start fresh");
const QString continueFreshStart = QStringLiteral("Continue fresh start");

// The recovery screen over a real store in a temporary folder whose files the test damages
// first. `retry` reads every file again, as the application does.
class StorageRecoveryViewTest : public ::testing::Test {
protected:
    void open()
    {
        store = std::make_unique<LocalStore>(dir.path(), write);
        readAll();
        view = new StorageRecoveryView(
            *store,
            [this] {
                events << QStringLiteral("retry");
                readAll();
            },
            [this] { events << QStringLiteral("didStartFresh"); },
            [this] {
                events << QStringLiteral("stopSync")
                        + (store->isReady() ? QString() : QStringLiteral(" before repair"));
            },
            &window);
        view->setGeometry(window.rect());
        view->setFolderOpener([this](const QString& folder) {
            openedFolders << folder;
            return folderOpens;
        });
        ASSERT_TRUE(showActive(window));
    }

    void readAll()
    {
        store->loadSyncState();
        store->loadData();
        store->loadSettings();
        store->loadStats();
    }

    FileIO::Writer write = FileIO::writeAtomically;

    bool offers(const QString& text) const { return visibleButton(view, text) != nullptr; }

    void click(const QString& text)
    {
        QAbstractButton* button = visibleButton(view, text);
        ASSERT_NE(button, nullptr) << qPrintable(text);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Answers the question on screen with its action button.
    void answer(const QString& action)
    {
        ConfirmationOverlay* question = view->questionOverlay();
        ASSERT_NE(question, nullptr);
        ASSERT_EQ(question->confirmButton()->text(), action);
        QTest::mouseClick(question->confirmButton(), Qt::LeftButton);
    }

    QString details() const
    {
        for (const QString& text : visibleTexts(view))
            if (text.contains(QStringLiteral(".json: ")))
                return text;
        return {};
    }

    QString errorText() const { return view->actionError().value_or(QString()); }

    // A sync apply that stopped half way: the journal holds the files from before and after,
    // the files on disk are the ones from before.
    void interruptedSync()
    {
        const SyncSnapshot before{
            StorageTest::library(QStringLiteral("before")), AppSettings::defaults(), Stats::empty()};
        const SyncSnapshot after{
            StorageTest::library(QStringLiteral("after")), AppSettings::defaults(), Stats::empty()};
        SyncRecord journal;
        journal.pending = SyncLocalTransaction{before, after};
        dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(before.data));
        dir.write(QStringLiteral("settings.json"), VelmoraJSON::encode(before.settings));
        dir.write(QStringLiteral("stats.json"), VelmoraJSON::encode(before.stats));
        dir.write(QStringLiteral("sync-state.json"), VelmoraJSON::encode(journal));
        dir.write(QStringLiteral("sync-state.json.backup"), VelmoraJSON::encode(SyncRecord()));
    }

    QStringList recoveryFolders() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("library-recovery-*")}, QDir::Dirs);
    }

    ManualScheduler scheduler;
    ManualMotionSettings motion{true};
    TempDir dir;
    std::unique_ptr<LocalStore> store;
    Backdrop window{QSize(340, 560)};
    StorageRecoveryView* view = nullptr;
    QStringList events;
    QStringList openedFolders;
    bool folderOpens = true;
};

} // namespace

TEST_F(StorageRecoveryViewTest, ADamagedFileWithABackupIsOfferedItsBackup)
{
    dir.write(QStringLiteral("settings.json"), "{\"theme\": ");
    dir.write(QStringLiteral("settings.json.backup"), VelmoraJSON::encode(AppSettings::defaults()));
    open();

    EXPECT_TRUE(offers(QStringLiteral("File details")));
    EXPECT_TRUE(details().isEmpty()) << "the details start collapsed";
    click(QStringLiteral("File details"));
    EXPECT_EQ(details(), QStringLiteral("settings.json: ") + store->issues().value(Resource::settings));
    EXPECT_TRUE(offers(QStringLiteral("Restore settings backup")));
    EXPECT_FALSE(offers(restoreSync));
    EXPECT_TRUE(offers(freshStart));

    click(QStringLiteral("Restore settings backup"));
    ASSERT_EQ(view->question(), StorageRecoveryView::Question::backupRestore);
    EXPECT_EQ(view->questionOverlay()->request().title, QStringLiteral("Restore the previous settings backup?"));
    EXPECT_EQ(view->questionOverlay()->request().message,
        QStringLiteral("The current file will be preserved separately. Changes made after the backup will not be in "
                       "the restored version."));
    answer(QStringLiteral("Restore backup"));

    EXPECT_EQ(events, QStringList{QStringLiteral("retry")});
    EXPECT_TRUE(store->isReady());
    EXPECT_EQ(dir.read(QStringLiteral("settings.json")), VelmoraJSON::encode(AppSettings::defaults()));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("settings.json.recovery-*")}).size(), 1);
}

TEST_F(StorageRecoveryViewTest, AFailedWriteIsSaidToBeOneAndOffersNoBackupThatWouldUndoASavedEdit)
{
    bool diskFull = false;
    write = [&diskFull](const QByteArray& bytes, const QString& path, FileIO::Access access) {
        if (diskFull)
            throw FileSystemError(FileSystemError::Operation::write, path, ENOSPC);
        FileIO::writeAtomically(bytes, path, access);
    };
    open();
    UserData data = store->loadData();
    for (const QString& trigger : {QStringLiteral("/one"), QStringLiteral("/two")}) {
        data.shortcuts.append(Shortcut{trigger, trigger, QStringLiteral("x"), std::nullopt, 0, std::nullopt});
        ASSERT_TRUE(store->saveData(data));
    }
    diskFull = true;
    data.shortcuts.append(Shortcut{
        QStringLiteral("/three"), QStringLiteral("/three"), QStringLiteral("x"), std::nullopt, 0, std::nullopt});
    EXPECT_FALSE(store->saveData(data));

    EXPECT_TRUE(store->hasBackup(Resource::library));
    EXPECT_FALSE(offers(QStringLiteral("Restore library backup")));
    const QStringList texts = visibleTexts(view);
    EXPECT_TRUE(std::any_of(texts.cbegin(), texts.cend(),
        [](const QString& text) { return text.startsWith(QStringLiteral("Velmora couldn't save a change.")); }));

    diskFull = false;
    click(QStringLiteral("Try reading again"));
    EXPECT_TRUE(store->isReady());
    EXPECT_EQ(store->loadData().shortcuts.size(), 2);
}

TEST_F(StorageRecoveryViewTest, AnInterruptedSyncOffersThePreSyncFilesAndNoBackup)
{
    interruptedSync();
    open();
    ASSERT_EQ(view->damagedResource(), Resource::sync);
    EXPECT_TRUE(offers(restoreSync));
    EXPECT_FALSE(offers(QStringLiteral("Restore sync state backup")));
    EXPECT_TRUE(offers(freshStart));

    click(restoreSync);
    EXPECT_EQ(view->questionOverlay()->request().title, QStringLiteral("Restore the pre-sync snapshot?"));
    EXPECT_EQ(view->questionOverlay()->request().message,
        QStringLiteral("This restores shortcuts, settings and statistics together. The cloud is not changed. "
                       "Unrecognized external edits will never be overwritten."));
    answer(QStringLiteral("Restore pre-sync files"));
    EXPECT_EQ(events, QStringList{QStringLiteral("retry")});
    EXPECT_TRUE(store->isReady());
    EXPECT_FALSE(store->syncRecord().pending);
}

TEST_F(StorageRecoveryViewTest, APreSyncRestoreThatCannotRunShowsTheStoresReason)
{
    interruptedSync();
    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("edited by hand"))));
    open();
    click(restoreSync);
    answer(QStringLiteral("Restore pre-sync files"));
    EXPECT_TRUE(events.isEmpty());
    EXPECT_FALSE(errorText().isEmpty());
    EXPECT_EQ(errorText(), store->issues().value(Resource::sync));
    EXPECT_TRUE(visibleTexts(view).contains(errorText()));
}

TEST_F(StorageRecoveryViewTest, WithoutABackupOnlyTheFreshStartIsOffered)
{
    dir.write(QStringLiteral("data.json"), "{\"shortcuts\": [");
    open();
    EXPECT_FALSE(offers(restoreSync));
    EXPECT_FALSE(offers(QStringLiteral("Restore library backup")));
    EXPECT_TRUE(offers(freshStart));
    EXPECT_TRUE(offers(QStringLiteral("Try reading again")));
    EXPECT_TRUE(offers(QStringLiteral("Show saved files")));
    click(QStringLiteral("File details"));
    EXPECT_TRUE(details().startsWith(QStringLiteral("data.json: ")));
}

TEST_F(StorageRecoveryViewTest, TheCloudLibraryIsMentionedOnlyWhereLibrarySyncIsConfigured)
{
    dir.write(QStringLiteral("data.json"), "{\"shortcuts\": [");
    open();
    const auto mentionsCloud = [this] {
        const QStringList texts = visibleTexts(view);
        return std::any_of(texts.cbegin(), texts.cend(),
            [](const QString& text) { return text.contains(QStringLiteral("cloud library")); });
    };
    EXPECT_FALSE(mentionsCloud());
    view->setCloudLibraryOffered(true);
    EXPECT_TRUE(mentionsCloud());
}

TEST_F(StorageRecoveryViewTest, AFreshStartArchivesEverythingThenReopensAndLeadsToTheAccount)
{
    dir.write(QStringLiteral("data.json"), "{\"shortcuts\": [");
    open();
    click(freshStart);
    EXPECT_EQ(view->questionOverlay()->request().title, QStringLiteral("Open a fresh local library?"));
    EXPECT_EQ(view->questionOverlay()->request().message,
        QStringLiteral("Your saved library, settings and statistics will be kept in a recovery folder on this computer "
                       "before replacement. Cloud data and sign-in credentials won't be changed. Sync stays paused "
                       "until you review it."));
    answer(QStringLiteral("Save files and continue"));

    EXPECT_EQ(events,
        (QStringList{
            QStringLiteral("stopSync before repair"), QStringLiteral("retry"), QStringLiteral("didStartFresh")}));
    EXPECT_TRUE(store->isReady());
    ASSERT_EQ(recoveryFolders().size(), 1);
    EXPECT_EQ(dir.read(recoveryFolders().first() + QStringLiteral("/data.json")), "{\"shortcuts\": [");
}

TEST_F(StorageRecoveryViewTest, AnInterruptedFreshStartIsTheIssueAndItIsContinued)
{
    dir.write(LibraryRecovery::markerFileName(), "{}");
    open();
    EXPECT_FALSE(offers(restoreSync));
    EXPECT_TRUE(offers(continueFreshStart));
    EXPECT_FALSE(offers(freshStart));
    click(QStringLiteral("File details"));
    EXPECT_EQ(details(), QStringLiteral("sync-state.json: ") + store->issues().value(Resource::sync));
}

TEST_F(StorageRecoveryViewTest, AnInterruptedFreshStartOffersNoBackupEvenWhereOneExists)
{
    dir.write(QStringLiteral("data.json.backup"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("saved"))));
    dir.write(LibraryRecovery::markerFileName(), "{}");
    open();
    ASSERT_EQ(view->damagedResource(), Resource::library);
    ASSERT_TRUE(store->hasBackup(Resource::library));
    EXPECT_FALSE(offers(QStringLiteral("Restore library backup")));
    EXPECT_TRUE(offers(continueFreshStart));
}

TEST_F(StorageRecoveryViewTest, AFreshStartThatFailsStaysHereWithTheReason)
{
    dir.write(LibraryRecovery::markerFileName(),
        "{\"version\": 1, \"archiveID\": \"9B2F6E4A-1C3D-4E5F-8A7B-0C1D2E3F4A5B\", \"files\": {}, \"targets\": {}}");
    open();
    click(continueFreshStart);
    answer(QStringLiteral("Save files and continue"));
    EXPECT_EQ(events, QStringList{QStringLiteral("stopSync before repair")});
    EXPECT_EQ(
        errorText(), QStringLiteral("The saved recovery copy could not be verified. No further files were replaced."));
    EXPECT_TRUE(visibleTexts(view).contains(errorText()));
}

TEST_F(StorageRecoveryViewTest, ABackupThatCannotBeRestoredShowsWhy)
{
    dir.write(QStringLiteral("stats.json"), "[");
    dir.write(QStringLiteral("stats.json.backup"), "also damaged");
    open();
    click(QStringLiteral("Restore stats backup"));
    answer(QStringLiteral("Restore backup"));
    EXPECT_TRUE(events.isEmpty());
    EXPECT_FALSE(errorText().isEmpty());
    EXPECT_EQ(errorText(), store->issues().value(Resource::stats));
    EXPECT_EQ(dir.read(QStringLiteral("stats.json")), "[");
}

TEST_F(StorageRecoveryViewTest, OnlyTheFirstDamagedFileIsOfferedItsBackupThenTheNext)
{
    dir.write(QStringLiteral("data.json"), "[");
    dir.write(QStringLiteral("data.json.backup"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("saved"))));
    dir.write(QStringLiteral("stats.json"), "[");
    dir.write(QStringLiteral("stats.json.backup"), VelmoraJSON::encode(Stats::empty()));
    open();
    EXPECT_TRUE(offers(QStringLiteral("Restore library backup")));
    EXPECT_FALSE(offers(QStringLiteral("Restore stats backup")));
    click(QStringLiteral("Restore library backup"));
    answer(QStringLiteral("Restore backup"));
    EXPECT_FALSE(store->isReady());
    EXPECT_FALSE(offers(QStringLiteral("Restore library backup")));
    EXPECT_TRUE(offers(QStringLiteral("Restore stats backup")));
}

TEST_F(StorageRecoveryViewTest, CancellingAQuestionRunsNothing)
{
    dir.write(QStringLiteral("settings.json"), "{");
    dir.write(QStringLiteral("settings.json.backup"), VelmoraJSON::encode(AppSettings::defaults()));
    open();
    click(QStringLiteral("Restore settings backup"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(view->question());
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("settings.json")), "{");
    EXPECT_FALSE(store->isReady());
}

TEST_F(StorageRecoveryViewTest, ReadingAgainAFileThatIsStillDamagedSaysSo)
{
    dir.write(QStringLiteral("data.json"), "[");
    open();
    click(QStringLiteral("Try reading again"));
    EXPECT_EQ(events, QStringList{QStringLiteral("retry")});
    EXPECT_EQ(errorText(),
        QStringLiteral("The file still couldn't be read. Try restoring a backup, or save a copy and start fresh."));

    dir.write(
        QStringLiteral("data.json"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("repaired by hand"))));
    click(QStringLiteral("Try reading again"));
    EXPECT_TRUE(store->isReady());
}

TEST_F(StorageRecoveryViewTest, ShowSavedFilesOpensTheDataFolderAndSaysWhenItCannot)
{
    dir.write(QStringLiteral("data.json"), "[");
    open();
    click(QStringLiteral("Show saved files"));
    EXPECT_EQ(openedFolders, QStringList{dir.path()});
    EXPECT_FALSE(view->actionError());

    folderOpens = false;
    click(QStringLiteral("Show saved files"));
    EXPECT_EQ(errorText(),
        QStringLiteral(
            "The file manager couldn't open this folder. Use File details to identify the unreadable file."));
}

TEST_F(StorageRecoveryViewTest, TheLastFailureStaysUntilAnotherReplacesIt)
{
    dir.write(QStringLiteral("data.json"), "[");
    open();
    folderOpens = false;
    click(QStringLiteral("Show saved files"));
    const QString first = errorText();
    folderOpens = true;
    click(QStringLiteral("Show saved files"));
    EXPECT_EQ(errorText(), first);
    click(QStringLiteral("Try reading again"));
    EXPECT_NE(errorText(), first);
}
