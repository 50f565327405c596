#include "Services/SyncCoordinator.h"
#include "FakeCredentialsProvider.h"
#include "LibraryFixtures.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "Models/SyncFailure.h"
#include "Models/VelmoraJSON.h"
#include "SyncedComputer.h"
#include "TestCloud.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sys/stat.h>

using Choice = SyncCoordinator::Choice;
using Reason = SyncReview::Reason;
using Kind = SyncFailure::Kind;

namespace {

const QString project = QStringLiteral("https://example.supabase.co");
const QString reviewText = QStringLiteral("Review the local and cloud versions to enable sync.");
const QString syncedText = QStringLiteral("Synced just now");

QString text(Kind kind)
{
    return SyncFailure(kind).errorDescription();
}

SyncSnapshot cloudLibrary(const QString& trigger)
{
    UserData data = UserData::empty();
    data.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("C-") + trigger, trigger));
    return SyncSnapshot{data, AppSettings::defaults(), Stats::empty()};
}

int modeOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

// Every case runs against the cloud in memory and against the local test backend.
class SyncCoordinatorTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        auth.setAccessToken(remote.accessTokenFor(auth.userID()));
        ASSERT_TRUE(here.state->storageReady());
        ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt));
        coordinator.attach(here.sync);
    }

    void settle() { EXPECT_TRUE(remote.settle(scheduler)); }

    void pass(std::optional<Choice> choice = std::nullopt)
    {
        std::optional<QUuid> id;
        if (choice && coordinator.review())
            id = coordinator.review()->id;
        coordinator.run(choice, id);
        settle();
    }

    // A first pass and its answer: sync is enabled for this sign-in.
    void enable(Choice choice = Choice::useLocal)
    {
        pass();
        ASSERT_TRUE(coordinator.review());
        pass(choice);
        ASSERT_EQ(coordinator.message(), syncedText);
    }

    CloudSyncSnapshot cloud() { return remote.copyOf(auth.userID()); }

    // Another computer of the same account changes the theme in the cloud copy.
    SyncSnapshot otherComputerSetsTheme(const QString& theme)
    {
        SyncSnapshot theirs = cloud().snapshot;
        theirs.settings.theme = theme;
        remote.store(auth.userID(), theirs);
        return theirs;
    }

    ManualClock clock;
    ManualScheduler scheduler{&clock};
    SyncedComputer here;
    FakeCredentialsProvider auth;
    std::unique_ptr<TestCloud> cloudUnderTest = GetParam() ? TestCloud::onBackend() : TestCloud::inMemory();
    TestCloud& remote = *cloudUnderTest;
    SyncCoordinator coordinator{auth, remote.remote(), project};
};

// ---------------------------------------------------------------- the first pass and its review

TEST_P(SyncCoordinatorTest, FirstPassWithAnEmptyCloudRaisesAFirstSyncReviewAndWritesNothing)
{
    pass();

    ASSERT_TRUE(coordinator.review());
    EXPECT_EQ(coordinator.review()->reason, Reason::firstSync);
    EXPECT_FALSE(coordinator.review()->cloud.has_cloud);
    EXPECT_TRUE(coordinator.review()->local.matches(here.snapshot()));
    EXPECT_EQ(coordinator.review()->owner, (SyncOwner{project, auth.userID()}));
    EXPECT_EQ(coordinator.message(), reviewText);
    EXPECT_EQ(remote.writes, 0);
    EXPECT_FALSE(coordinator.isSyncing());
    EXPECT_FALSE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, LibraryLinkedToAnotherAccountRaisesADifferentAccountReview)
{
    FakeCredentialsProvider other(QStringLiteral("0a1b2c3d-0000-4000-8000-000000000001"));
    other.setAccessToken(remote.accessTokenFor(other.userID()));
    SyncCoordinator elsewhere(other, remote.remote(), project);
    elsewhere.attach(here.sync);
    elsewhere.run();
    settle();
    elsewhere.run(Choice::useLocal, elsewhere.review()->id);
    settle();
    ASSERT_EQ(elsewhere.message(), syncedText);

    pass();

    ASSERT_TRUE(coordinator.review());
    EXPECT_EQ(coordinator.review()->reason, Reason::differentAccount);
    EXPECT_EQ(coordinator.message(), reviewText);
}

TEST_P(SyncCoordinatorTest, EveryLaunchStartsWithAReviewEvenForTheLinkedAccount)
{
    enable();
    SyncCoordinator afterLaunch(auth, remote.remote(), project);
    afterLaunch.attach(here.sync);

    afterLaunch.run();
    settle();

    ASSERT_TRUE(afterLaunch.review());
    EXPECT_EQ(afterLaunch.review()->reason, Reason::firstSync);
    EXPECT_EQ(remote.writes, 1);
}

TEST_P(SyncCoordinatorTest, UsingThisComputersVersionUploadsItKeepsARecoveryCopyAndEnablesSync)
{
    pass();
    const QString emptyRevision = coordinator.review()->cloud.revision;

    pass(Choice::useLocal);

    EXPECT_EQ(coordinator.message(), syncedText);
    EXPECT_FALSE(coordinator.review());
    EXPECT_TRUE(coordinator.canAutoSync());
    EXPECT_TRUE(cloud().has_cloud);
    EXPECT_NE(cloud().revision, emptyRevision);
    EXPECT_TRUE(cloud().snapshot.matches(here.snapshot()));
    const SyncRecord& record = here.store->syncRecord();
    ASSERT_TRUE(record.owner && record.baseline);
    EXPECT_EQ(*record.owner, (SyncOwner{project, auth.userID()}));
    EXPECT_TRUE(record.baseline->matches(here.snapshot()));

    const QStringList copies = here.recoveryCopies();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(modeOf(here.dir.file(copies.first())), 0600);
    const QJsonObject archive = QJsonDocument::fromJson(here.dir.read(copies.first())).object();
    EXPECT_EQ(
        archive.value(QStringLiteral("cloud")).toObject().value(QStringLiteral("revision")).toString(), emptyRevision);
}

TEST_P(SyncCoordinatorTest, UsingTheCloudVersionReplacesTheLocalLibraryAndKeepsThisOneInTheRecoveryCopy)
{
    remote.store(auth.userID(), cloudLibrary(QStringLiteral("/cloud")));
    pass();
    ASSERT_TRUE(here.state->canUndo());

    pass(Choice::useCloud);

    EXPECT_EQ(coordinator.message(), syncedText);
    EXPECT_TRUE(here.snapshot().matches(cloudLibrary(QStringLiteral("/cloud"))));
    EXPECT_TRUE(here.store->snapshotForSync().matches(here.snapshot()));
    EXPECT_FALSE(here.state->canUndo());
    const QStringList copies = here.recoveryCopies();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(here.dir.read(copies.first()).contains("Best regards"));
}

TEST_P(SyncCoordinatorTest, AnEmptyCloudCannotBeChosenAndNoRecoveryCopyIsWritten)
{
    pass();

    pass(Choice::useCloud);

    EXPECT_EQ(coordinator.message(), text(Kind::reviewRequired));
    EXPECT_FALSE(coordinator.review());
    EXPECT_TRUE(here.recoveryCopies().isEmpty());
    EXPECT_EQ(remote.writes, 0);
    EXPECT_EQ(here.state->userData().shortcuts.size(), 1);
}

TEST_P(SyncCoordinatorTest, UploadingALibraryWithSharedTriggersIsRefusedAfterTheRecoveryCopy)
{
    UserData shared = here.state->userData();
    shared.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("S-2"), QStringLiteral("/sig")));
    here.dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(shared));
    here.open();
    coordinator.attach(here.sync);
    pass();

    pass(Choice::useLocal);

    EXPECT_EQ(coordinator.message(), text(Kind::duplicateTriggers));
    EXPECT_EQ(here.recoveryCopies().size(), 1);
    EXPECT_EQ(remote.writes, 0);
}

TEST_P(SyncCoordinatorTest, AnAnswerToAReplacedOrPausedReviewIsRefused)
{
    pass();
    const QUuid first = coordinator.review()->id;
    pass();
    coordinator.run(Choice::useLocal, first);
    settle();
    EXPECT_EQ(coordinator.message(), text(Kind::reviewRequired));

    pass();
    const QUuid paused = coordinator.review()->id;
    coordinator.stop();
    coordinator.run(Choice::useLocal, paused);
    settle();
    EXPECT_EQ(coordinator.message(), text(Kind::reviewRequired));
    EXPECT_EQ(remote.writes, 0);
}

TEST_P(SyncCoordinatorTest, BothSidesChangingTheSameComponentPausesForAChoice)
{
    enable();
    SyncSnapshot theirs = cloud().snapshot;
    theirs.stats.totalExpansions = 40;
    remote.store(auth.userID(), theirs);
    here.state->recordExpansion(QStringLiteral("/sig"), 10);

    pass();

    ASSERT_TRUE(coordinator.review());
    EXPECT_EQ(coordinator.review()->reason, Reason::competingEdits);
    EXPECT_EQ(coordinator.message(), QStringLiteral("Both versions changed. Sync is paused for your choice."));
    EXPECT_FALSE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, ChangesOnDifferentComponentsAreMergedOnBothSides)
{
    enable();
    otherComputerSetsTheme(QStringLiteral("dark"));
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/addr"), QStringLiteral("Main Street 1"), std::nullopt));

    pass();

    EXPECT_EQ(coordinator.message(), syncedText);
    EXPECT_EQ(here.state->settings().theme, QStringLiteral("dark"));
    EXPECT_EQ(here.state->userData().shortcuts.size(), 2);
    EXPECT_TRUE(cloud().snapshot.matches(here.snapshot()));
}

// ---------------------------------------------------------------- local changes during a pass

TEST_P(SyncCoordinatorTest, FilesChangedBehindTheApplicationStopThePassBeforeTheCloudIsAsked)
{
    UserData changed = here.state->userData();
    changed.shortcuts.first().expansion = QStringLiteral("edited elsewhere");
    here.dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(changed));

    pass();

    EXPECT_EQ(coordinator.message(), text(Kind::storageUnavailable));
    EXPECT_FALSE(here.state->storageReady());
    EXPECT_EQ(remote.reads, 0);
}

TEST_P(SyncCoordinatorTest, AnEditWhileTheCloudIsReadStopsThePassWithoutWriting)
{
    enable();
    remote.beforeRead
        = [&] { here.state->addShortcut(QStringLiteral("/new"), QStringLiteral("typed meanwhile"), std::nullopt); };

    pass();

    EXPECT_EQ(coordinator.message(), text(Kind::localChanged));
    EXPECT_EQ(remote.writes, 1);
    EXPECT_EQ(here.state->userData().shortcuts.size(), 2);
    EXPECT_FALSE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, AnEditWhileTheCloudIsWrittenKeepsTheEditLocally)
{
    enable();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/one"), QStringLiteral("first"), std::nullopt));
    remote.beforeWrite
        = [&] { here.state->addShortcut(QStringLiteral("/two"), QStringLiteral("second"), std::nullopt); };

    pass();

    EXPECT_EQ(coordinator.message(), text(Kind::localChanged));
    EXPECT_EQ(cloud().snapshot.data.shortcuts.size(), 2);
    EXPECT_EQ(here.state->userData().shortcuts.size(), 3);
    EXPECT_TRUE(here.store->snapshotForSync().matches(here.snapshot()));
}

TEST_P(SyncCoordinatorTest, AnEditAfterTheReviewAppearedRefusesTheAnswerBeforeAnyRecoveryCopy)
{
    pass();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/late"), QStringLiteral("after the review"), std::nullopt));

    pass(Choice::useLocal);

    EXPECT_EQ(coordinator.message(), text(Kind::localChanged));
    EXPECT_TRUE(here.recoveryCopies().isEmpty());
    EXPECT_EQ(remote.writes, 0);
}

// ---------------------------------------------------------------- the cloud changing during a pass

TEST_P(SyncCoordinatorTest, AnotherComputerWritingBetweenReadAndWriteIsNeverOverwritten)
{
    enable();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/mine"), QStringLiteral("local"), std::nullopt));
    remote.beforeWrite = [&] {
        remote.beforeWrite = nullptr;
        remote.store(auth.userID(), cloudLibrary(QStringLiteral("/theirs")));
    };

    pass();

    EXPECT_EQ(coordinator.message(), text(Kind::cloudChanged));
    EXPECT_TRUE(cloud().snapshot.matches(cloudLibrary(QStringLiteral("/theirs"))));
    EXPECT_EQ(here.state->userData().shortcuts.size(), 2);
    EXPECT_FALSE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, AnAutomaticPassThatMeetsAnotherWriterStartsOverOnceAndMerges)
{
    enable();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/mine"), QStringLiteral("local"), std::nullopt));
    remote.beforeWrite = [&] {
        remote.beforeWrite = nullptr;
        otherComputerSetsTheme(QStringLiteral("light"));
    };

    coordinator.runAutomatically();
    settle();

    EXPECT_EQ(coordinator.message(), syncedText);
    EXPECT_EQ(remote.refusedWrites, 1);
    EXPECT_EQ(here.state->settings().theme, QStringLiteral("light"));
    EXPECT_TRUE(cloud().snapshot.matches(here.snapshot()));
    EXPECT_TRUE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, AnAutomaticPassGivesUpWhenTheCloudMovesOnTwice)
{
    enable();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/mine"), QStringLiteral("local"), std::nullopt));
    int competing = 0;
    remote.beforeWrite
        = [&] { otherComputerSetsTheme(competing++ % 2 ? QStringLiteral("light") : QStringLiteral("dark")); };

    coordinator.runAutomatically();
    settle();

    EXPECT_EQ(coordinator.message(), text(Kind::cloudChanged));
    EXPECT_EQ(remote.refusedWrites, 2);
    EXPECT_FALSE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, APassWithNothingNewWritesNoNewRevision)
{
    enable();
    const QString revision = cloud().revision;

    coordinator.runAutomatically();
    settle();

    EXPECT_EQ(coordinator.message(), syncedText);
    EXPECT_EQ(cloud().revision, revision);
    EXPECT_EQ(remote.writes, 1);
    EXPECT_TRUE(coordinator.canAutoSync());
}

TEST_P(SyncCoordinatorTest, ACloudOnlyChangeIsAppliedLocallyWithoutWritingTheCloudAgain)
{
    enable();
    const SyncSnapshot theirs = otherComputerSetsTheme(QStringLiteral("dark"));
    const QString revision = cloud().revision;

    pass();

    EXPECT_EQ(coordinator.message(), syncedText);
    EXPECT_EQ(cloud().revision, revision);
    EXPECT_EQ(here.state->settings().theme, QStringLiteral("dark"));
    ASSERT_TRUE(here.store->syncRecord().baseline);
    EXPECT_TRUE(here.store->syncRecord().baseline->matches(theirs));
}

TEST_P(SyncCoordinatorTest, AVanishedCloudCopyRaisesAReviewInsteadOfEmptyingTheLibrary)
{
    enable();
    remote.alterReply = [](CloudSyncSnapshot reply) {
        reply.has_cloud = false;
        reply.snapshot = SyncSnapshot{UserData::empty(), AppSettings::defaults(), Stats::empty()};
        return reply;
    };

    pass();

    ASSERT_TRUE(coordinator.review());
    EXPECT_FALSE(coordinator.review()->cloud.has_cloud);
    EXPECT_EQ(remote.writes, 1) << "only the first sync wrote";
    EXPECT_EQ(here.state->userData().shortcuts.size(), 1);
    EXPECT_TRUE(here.state->canUndo());
}

// ---------------------------------------------------------------- replies and passes

TEST_P(SyncCoordinatorTest, MalformedCloudRepliesStopThePass)
{
    const QList<std::function<CloudSyncSnapshot(CloudSyncSnapshot)>> malformed{
        [](CloudSyncSnapshot c) {
            c.revision.chop(1);
            return c;
        },
        [](CloudSyncSnapshot c) {
            c.revision += u'0';
            return c;
        },
        [](CloudSyncSnapshot c) {
            c.revision = c.revision.toUpper().replace(u'0', u'A');
            return c;
        },
        [](CloudSyncSnapshot c) {
            c.user_id = QStringLiteral("0a1b2c3d-0000-4000-8000-000000000001");
            return c;
        },
    };
    for (const auto& alter : malformed) {
        remote.alterReply = alter;
        pass();
        EXPECT_EQ(coordinator.message(), text(Kind::invalidResponse));
        EXPECT_FALSE(coordinator.review());
    }
}

TEST_P(SyncCoordinatorTest, ACloudLibraryWithDuplicateTriggersIsRefused)
{
    SyncSnapshot theirs = cloudLibrary(QStringLiteral("/dup"));
    theirs.data.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("C-2"), QStringLiteral("/dup")));
    remote.store(auth.userID(), theirs);

    pass();

    EXPECT_EQ(coordinator.message(), text(Kind::duplicateTriggers));
}

TEST_P(SyncCoordinatorTest, ASecondRunWhileOneRunsIsDropped)
{
    coordinator.run();
    coordinator.run();
    EXPECT_EQ(coordinator.message(), QStringLiteral("Checking both versions\u2026"));
    settle();

    EXPECT_EQ(remote.reads, 1);
    EXPECT_EQ(auth.credentialRequests, 1);
}

TEST_P(SyncCoordinatorTest, PausingDuringAPassPublishesNothingMore)
{
    enable();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/mine"), QStringLiteral("local"), std::nullopt));
    remote.beforeWrite = [&] { coordinator.stop(); };

    pass();

    EXPECT_EQ(coordinator.message(), QStringLiteral("Sync paused. Local files are unchanged by this pause."));
    EXPECT_FALSE(coordinator.isSyncing());
    EXPECT_FALSE(coordinator.canAutoSync());
    EXPECT_EQ(here.state->userData().shortcuts.size(), 2);
}

TEST_P(SyncCoordinatorTest, SigningOutDuringAPassStopsItAtTheNextCheck)
{
    enable();
    ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/mine"), QStringLiteral("local"), std::nullopt));
    remote.beforeRead = [&] { auth.signOut(); };

    pass();

    EXPECT_EQ(coordinator.message(), AuthError(AuthError::sessionChanged).errorDescription());
    EXPECT_EQ(remote.writes, 1);
}

TEST_P(SyncCoordinatorTest, StorageThatIsNotReadyStopsThePassAtOnce)
{
    coordinator.attach(nullptr);

    pass();

    EXPECT_EQ(coordinator.message(), text(Kind::storageUnavailable));
    EXPECT_EQ(auth.credentialRequests, 0);
}

INSTANTIATE_TEST_SUITE_P(Clouds, SyncCoordinatorTest, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "OnTheBackend" : "InMemory"; });

} // namespace
