#include "BackendSignIn.h"
#include "FakeBrowser.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "MemoryCredentialStorage.h"
#include "Services/AuthService.h"
#include "Services/BackgroundSyncManager.h"
#include "Services/SupabaseSyncRemote.h"
#include "Services/SyncCoordinator.h"
#include "SyncedComputer.h"
#include "TestBackend.h"

#include <gtest/gtest.h>

using Choice = SyncCoordinator::Choice;

namespace {

// One computer signed in to the test backend: its own data folder, credential store, account
// service and background sync.
struct Computer {
    Computer(TestBackend& backend, ExternalBrowser& browser)
        : auth(backend.client(), std::make_unique<MemoryCredentialStorage>(), browser,
            BackendSignIn::fetchRedirect(backend))
        , sync(auth,
              std::make_unique<SupabaseSyncRemote>(backend.client(),
                  [configuration = backend.configuration()] {
                      BackendConfiguration::requireLibrarySync(configuration);
                  }),
              backend.projectURL(), true)
    {
    }

    SyncedComputer machine;
    AuthService auth;
    BackgroundSyncManager sync;
};

class TwoComputersBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (Computer* computer : {&office, &home}) {
            const auto signedIn = BackendSignIn::wait(computer->auth, scheduler);
            ASSERT_TRUE(signedIn && signedIn->succeeded());
            computer->sync.start(*computer->machine.sync);
        }
    }

    bool settle()
    {
        return BackendSignIn::waitUntil(
            scheduler, [&] { return !office.sync.coordinator().isSyncing() && !home.sync.coordinator().isSyncing(); });
    }

    // Lets time pass a second at a time, waiting for the network after each, so that no
    // request is timed out by a clock that jumped past its reply.
    bool passTime(double seconds)
    {
        for (double passed = 0; passed < seconds; ++passed) {
            scheduler.advance(1);
            if (!settle())
                return false;
        }
        return true;
    }

    void answerReview(Computer& computer, Choice choice)
    {
        SyncCoordinator& coordinator = computer.sync.coordinator();
        coordinator.run();
        ASSERT_TRUE(settle());
        ASSERT_TRUE(coordinator.review()) << coordinator.message().toStdString();
        coordinator.run(choice, coordinator.review()->id);
        ASSERT_TRUE(settle());
        ASSERT_TRUE(coordinator.canAutoSync()) << coordinator.message().toStdString();
    }

    ManualClock clock{QDateTime::currentDateTimeUtc()};
    ManualScheduler scheduler{&clock};
    TestBackend backend;
    FakeBrowser browser;
    Computer office{backend, browser};
    Computer home{backend, browser};
};

TEST_F(TwoComputersBackendTest, EditsOnBothComputersConverge)
{
    ASSERT_TRUE(
        office.machine.state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt));
    answerReview(office, Choice::useLocal);
    answerReview(home, Choice::useCloud);
    ASSERT_TRUE(home.machine.snapshot().matches(office.machine.snapshot()));

    ASSERT_TRUE(
        office.machine.state->addShortcut(QStringLiteral("/addr"), QStringLiteral("Main Street 1"), std::nullopt));
    home.machine.state->updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); });
    ASSERT_TRUE(passTime(BackgroundSyncManager::timerInterval));

    EXPECT_TRUE(office.machine.snapshot().matches(home.machine.snapshot()));
    EXPECT_EQ(office.machine.state->settings().theme, QStringLiteral("dark"));
    EXPECT_EQ(home.machine.state->userData().shortcuts.size(), 2);
    EXPECT_TRUE(office.sync.coordinator().canAutoSync()) << office.sync.coordinator().message().toStdString();
    EXPECT_TRUE(home.sync.coordinator().canAutoSync()) << home.sync.coordinator().message().toStdString();
}

TEST_F(TwoComputersBackendTest, IdleComputersStopWritingOnceTheyAgree)
{
    answerReview(office, Choice::useLocal);
    answerReview(home, Choice::useCloud);
    const auto writes = [&] {
        return std::count_if(backend.requests().begin(), backend.requests().end(),
            [](const TestBackend::Request& r) { return r.path() == "/rest/v1/rpc/velmora_write_sync"; });
    };
    const auto before = writes();

    ASSERT_TRUE(passTime(3 * BackgroundSyncManager::timerInterval));

    EXPECT_EQ(writes(), before);
    EXPECT_TRUE(office.sync.coordinator().canAutoSync());
    EXPECT_TRUE(home.sync.coordinator().canAutoSync());
}

TEST_F(TwoComputersBackendTest, StatisticsAndSettingsFromTheOtherComputerLeaveTheOpenFolderSelectionAndUndo)
{
    AppState& state = *office.machine.state;
    const std::optional<QString> folder
        = state.addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("visible"));
    ASSERT_TRUE(folder);
    answerReview(office, Choice::useLocal);
    answerReview(home, Choice::useCloud);
    ASSERT_TRUE(state.addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), folder));
    ASSERT_TRUE(passTime(BackgroundSyncManager::timerInterval));
    state.setCurrentGroupId(folder);
    state.setSelectedIds({state.userData().shortcuts.first().id});
    ASSERT_TRUE(state.canUndo());

    home.machine.state->recordExpansion(QStringLiteral("/sig"), 10);
    home.machine.state->updateSettings([](AppSettings& s) { s.theme = QStringLiteral("dark"); });
    ASSERT_TRUE(passTime(BackgroundSyncManager::timerInterval));

    ASSERT_EQ(state.stats().totalExpansions, 1);
    EXPECT_EQ(state.settings().theme, QStringLiteral("dark"));
    EXPECT_EQ(state.currentGroupId(), folder);
    EXPECT_EQ(state.selectedIds().size(), 1);
    EXPECT_TRUE(state.canUndo());

    // A library change from there still starts the list afresh.
    ASSERT_TRUE(
        home.machine.state->addShortcut(QStringLiteral("/addr"), QStringLiteral("Main Street 1"), std::nullopt));
    ASSERT_TRUE(passTime(BackgroundSyncManager::timerInterval));
    ASSERT_EQ(state.userData().shortcuts.size(), 2);
    EXPECT_FALSE(state.currentGroupId());
    EXPECT_FALSE(state.canUndo());
}

} // namespace
