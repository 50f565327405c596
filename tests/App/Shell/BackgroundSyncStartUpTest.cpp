#include "AppShellFixture.h"
#include "FakeCredentialsProvider.h"
#include "MemorySyncRemote.h"
#include "Models/SyncFailure.h"
#include "Services/BackgroundSyncManager.h"
#include "Services/SyncCoordinator.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "Views/WidgetLookup.h"

#include <QTest>

namespace {

const QByteArray damagedLibrary = "{\"groups\": [], \"shortcuts\": [";

// The application started with an account and background sync of doubles.
class BackgroundSyncStartUp : public AppShellFixture {
protected:
    void SetUp() override
    {
        account = &signedIn;
        backgroundSync = &sync;
    }

    void launchWithSync() { launchAndSettle(); }

    ~BackgroundSyncStartUp() override { delegate.reset(); }

    FakeCredentialsProvider signedIn;
    BackgroundSyncManager sync{
        signedIn, std::make_unique<MemorySyncRemote>(), QStringLiteral("https://example.supabase.co"), true};
};

TEST_F(BackgroundSyncStartUp, SignedInWithStorageReadySyncIsWiredAtLaunch)
{
    launchWithSync();

    EXPECT_TRUE(sync.isWired());
    EXPECT_NE(sync.coordinator().attachedState(), nullptr);
}

TEST_F(BackgroundSyncStartUp, SignedOutAtLaunchNothingIsWiredUntilSignIn)
{
    signedIn.signOut();
    launchWithSync();
    EXPECT_FALSE(sync.isWired());

    signedIn.signIn(signedIn.userID());
    EXPECT_TRUE(sync.isWired());

    signedIn.signOut();
    EXPECT_FALSE(sync.isWired());
}

TEST_F(BackgroundSyncStartUp, StorageThatIsNotReadyKeepsSyncOffUntilRepaired)
{
    dir.write(QStringLiteral("data.json"), damagedLibrary);
    launchWithSync();
    EXPECT_FALSE(sync.isWired());

    dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(UserData::empty()));
    state().retryStorage();
    scheduler.runDue();
    EXPECT_TRUE(sync.isWired());

    dir.write(QStringLiteral("data.json"), damagedLibrary);
    store->loadData();
    EXPECT_FALSE(sync.isWired());
}

TEST_F(BackgroundSyncStartUp, ClearingAllDataWaitsUntilTheAccountIsSignedOut)
{
    launchWithSync();
    EXPECT_EQ(state().clearAllData(), AppState::ClearOutcome::refused);
    EXPECT_TRUE(sync.isWired());

    signedIn.signOut();
    EXPECT_EQ(state().clearAllData(), AppState::ClearOutcome::cleared);
    EXPECT_FALSE(sync.isWired());
}

TEST_F(BackgroundSyncStartUp, TheRecoveryScreenPausesSyncBeforeAFreshStart)
{
    dir.write(QStringLiteral("data.json"), damagedLibrary);
    launchWithSync();
    auto* shell = qobject_cast<MenuBarPopover*>(popover().content());
    ASSERT_NE(shell, nullptr);
    ASSERT_NE(shell->recoveryView(), nullptr);
    sync.coordinator().run();
    ASSERT_EQ(sync.coordinator().message(), SyncFailure(SyncFailure::Kind::storageUnavailable).errorDescription());

    QTest::mouseClick(
        visibleButton(shell->recoveryView(), QStringLiteral("Save a copy and start fresh")), Qt::LeftButton);
    QTest::mouseClick(shell->recoveryView()->questionOverlay()->confirmButton(), Qt::LeftButton);

    EXPECT_EQ(sync.coordinator().message(), QStringLiteral("Sync paused. Local files are unchanged by this pause."));
}

} // namespace
