#include "FakeCredentialsProvider.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "MemorySyncRemote.h"
#include "Services/BackgroundSyncManager.h"
#include "Services/SyncCoordinator.h"
#include "SyncedComputer.h"

#include <gtest/gtest.h>

using Choice = SyncCoordinator::Choice;

namespace {

// The same account on two computers, each with its data folder, application state and
// background sync, over one cloud.
class TwoComputersSyncTest : public ::testing::Test {
protected:
    struct Computer {
        explicit Computer(MemorySyncRemote& cloud, FakeCredentialsProvider& account)
            : sync(account, std::make_unique<Relay>(cloud), QStringLiteral("https://example.supabase.co"), true)
        {
            sync.start(*machine.sync);
        }

        SyncedComputer machine;
        BackgroundSyncManager sync;
    };

    // The manager owns its remote; both computers reach the one cloud through a relay.
    class Relay final : public SyncRemote {
    public:
        explicit Relay(SyncRemote& cloud)
            : m_cloud(cloud)
        {
        }
        void read(const AuthCredentials& c, const Cancellation& x, Completion<CloudSyncSnapshot> done) override
        {
            m_cloud.read(c, x, std::move(done));
        }
        void compareAndSwap(const SyncSnapshot& next, const QString& revision, const AuthCredentials& c,
            const Cancellation& x, Completion<CloudSyncSnapshot> done) override
        {
            m_cloud.compareAndSwap(next, revision, c, x, std::move(done));
        }

    private:
        SyncRemote& m_cloud;
    };

    void answerReview(Computer& computer, Choice choice)
    {
        SyncCoordinator& coordinator = computer.sync.coordinator();
        coordinator.run();
        scheduler.runDue();
        ASSERT_TRUE(coordinator.review());
        coordinator.run(choice, coordinator.review()->id);
        scheduler.runDue();
        ASSERT_TRUE(coordinator.canAutoSync()) << coordinator.message().toStdString();
    }

    ManualClock clock;
    ManualScheduler scheduler{&clock};
    MemorySyncRemote cloud;
    FakeCredentialsProvider account;
    Computer office{cloud, account};
    Computer home{cloud, account};
};

TEST_F(TwoComputersSyncTest, EditsOnBothComputersConvergeThroughBackgroundSync)
{
    ASSERT_TRUE(office.machine.state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt));
    answerReview(office, Choice::useLocal);
    answerReview(home, Choice::useCloud);
    ASSERT_TRUE(home.machine.snapshot().matches(office.machine.snapshot()));

    ASSERT_TRUE(office.machine.state->addShortcut(QStringLiteral("/addr"), QStringLiteral("Main Street 1"), std::nullopt));
    home.machine.state->updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); });
    scheduler.advance(BackgroundSyncManager::debounceDelay);
    scheduler.advance(BackgroundSyncManager::timerInterval);

    EXPECT_TRUE(office.machine.snapshot().matches(home.machine.snapshot()));
    EXPECT_EQ(office.machine.state->settings().theme, QStringLiteral("dark"));
    EXPECT_EQ(home.machine.state->userData().shortcuts.size(), 2);
    EXPECT_TRUE(cloud.copyOf(account.userID()).snapshot.matches(office.machine.snapshot()));
    EXPECT_TRUE(office.sync.coordinator().canAutoSync());
    EXPECT_TRUE(home.sync.coordinator().canAutoSync());
}

TEST_F(TwoComputersSyncTest, IdleComputersStopWritingOnceTheyAgree)
{
    answerReview(office, Choice::useLocal);
    answerReview(home, Choice::useCloud);
    const int writes = cloud.writes;

    scheduler.advance(10 * BackgroundSyncManager::timerInterval);

    EXPECT_EQ(cloud.writes, writes);
    EXPECT_EQ(cloud.refusedWrites, 0);
    EXPECT_TRUE(office.sync.coordinator().canAutoSync());
    EXPECT_TRUE(home.sync.coordinator().canAutoSync());
}

} // namespace
