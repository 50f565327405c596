#include "Services/BackgroundSyncManager.h"
#include "FakeCredentialsProvider.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "MemorySyncRemote.h"
#include "Services/SyncCoordinator.h"
#include "SyncedComputer.h"

#include <gtest/gtest.h>

using Choice = SyncCoordinator::Choice;

namespace {

const QString project = QStringLiteral("https://example.supabase.co");

// The remote is handed to the manager; the test keeps a pointer to watch it.
class BackgroundSyncManagerTest : public ::testing::Test {
protected:
    std::unique_ptr<BackgroundSyncManager> makeManager(bool available)
    {
        auto owned = std::make_unique<MemorySyncRemote>();
        remote = owned.get();
        return std::make_unique<BackgroundSyncManager>(auth, std::move(owned), project, available);
    }

    void SetUp() override
    {
        manager = makeManager(true);
        ASSERT_TRUE(here.state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt));
    }

    SyncCoordinator& coordinator() { return manager->coordinator(); }

    // Started, then enabled by a first pass and its answer, as the account screen does.
    void startEnabled()
    {
        manager->start(*here.sync);
        coordinator().run();
        scheduler.runDue();
        coordinator().run(Choice::useLocal, coordinator().review()->id);
        scheduler.runDue();
        ASSERT_TRUE(coordinator().canAutoSync());
    }

    void edit(const QString& trigger)
    {
        ASSERT_TRUE(here.state->addShortcut(trigger, QStringLiteral("text"), std::nullopt));
    }

    ManualClock clock;
    ManualScheduler scheduler{&clock};
    SyncedComputer here;
    FakeCredentialsProvider auth;
    MemorySyncRemote* remote = nullptr;
    std::unique_ptr<BackgroundSyncManager> manager;
};

TEST_F(BackgroundSyncManagerTest, ABurstOfChangesSyncsOnceThreeSecondsAfterTheLast)
{
    startEnabled();
    const int reads = remote->reads;

    edit(QStringLiteral("/a"));
    scheduler.advance(2);
    edit(QStringLiteral("/b"));
    scheduler.advance(2);
    here.state->updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); });
    scheduler.advance(2.9);
    EXPECT_EQ(remote->reads, reads);

    scheduler.advance(0.1);
    EXPECT_EQ(remote->reads, reads + 1);
    EXPECT_TRUE(remote->copyOf(auth.userID()).snapshot.matches(here.snapshot()));
}

TEST_F(BackgroundSyncManagerTest, StatisticsChangesAreSyncedToo)
{
    startEnabled();

    here.state->recordExpansion(QStringLiteral("/sig"), 10);
    scheduler.advance(BackgroundSyncManager::debounceDelay);

    EXPECT_EQ(remote->copyOf(auth.userID()).snapshot.stats.totalExpansions, 1);
}

TEST_F(BackgroundSyncManagerTest, TheTimerAsksEveryTwoMinutes)
{
    startEnabled();
    const int reads = remote->reads;

    scheduler.advance(119);
    EXPECT_EQ(remote->reads, reads);
    scheduler.advance(1);
    EXPECT_EQ(remote->reads, reads + 1);
    scheduler.advance(120);
    EXPECT_EQ(remote->reads, reads + 2);
}

TEST_F(BackgroundSyncManagerTest, NothingRunsByItselfUntilTheSignInIsApproved)
{
    manager->start(*here.sync);

    edit(QStringLiteral("/a"));
    scheduler.advance(300);

    EXPECT_EQ(remote->reads, 0);
    EXPECT_EQ(coordinator().message(), QStringLiteral("Sync paused. Local files are unchanged by this pause."));
}

TEST_F(BackgroundSyncManagerTest, APauseBetweenATriggerAndItsRunKeepsSyncOff)
{
    startEnabled();
    const int reads = remote->reads;

    edit(QStringLiteral("/a"));
    Scheduler::current().after(BackgroundSyncManager::debounceDelay, &coordinator(), [this] { coordinator().stop(); });
    scheduler.advance(BackgroundSyncManager::debounceDelay);

    EXPECT_EQ(remote->reads, reads);
    EXPECT_FALSE(coordinator().review());
    EXPECT_EQ(coordinator().message(), QStringLiteral("Sync paused. Local files are unchanged by this pause."));
}

TEST_F(BackgroundSyncManagerTest, StartingTwiceLeavesOneTimer)
{
    manager->start(*here.sync);
    manager->start(*here.sync);

    EXPECT_EQ(scheduler.pendingCount(), 1);
    EXPECT_EQ(scheduler.pendingDelays().front(), BackgroundSyncManager::timerInterval);
}

TEST_F(BackgroundSyncManagerTest, StartingAgainPausesAnApprovedSignIn)
{
    startEnabled();

    manager->start(*here.sync);

    EXPECT_FALSE(coordinator().canAutoSync());
}

TEST_F(BackgroundSyncManagerTest, WithoutLibrarySyncNothingIsWired)
{
    manager = makeManager(false);

    manager->start(*here.sync);
    edit(QStringLiteral("/a"));

    EXPECT_FALSE(manager->isWired());
    EXPECT_EQ(scheduler.pendingCount(), 0);
    EXPECT_EQ(coordinator().attachedState(), here.sync);
}

TEST_F(BackgroundSyncManagerTest, SigningOutPausesTheCoordinatorAtOnce)
{
    startEnabled();

    auth.signOut();

    EXPECT_FALSE(coordinator().canAutoSync());
    EXPECT_EQ(coordinator().message(), QStringLiteral("Sync paused. Local files are unchanged by this pause."));
}

TEST_F(BackgroundSyncManagerTest, StoppingDropsTheTimerAndTheSubscriptions)
{
    startEnabled();
    const int reads = remote->reads;

    manager->stop();
    edit(QStringLiteral("/a"));
    scheduler.advance(600);

    EXPECT_FALSE(manager->isWired());
    EXPECT_EQ(remote->reads, reads);
}

TEST_F(BackgroundSyncManagerTest, ATickWhileAPassRunsStartsNoSecondOne)
{
    startEnabled();
    const int reads = remote->reads;
    remote->held = true;
    coordinator().run();

    scheduler.advance(BackgroundSyncManager::timerInterval);
    remote->release();
    scheduler.runDue();

    EXPECT_EQ(remote->reads, reads + 1);
}

} // namespace
