#include "App/Shell/PopoverKeyHandler.h"
#include "AppShellFixture.h"
#include "BackendSignIn.h"
#include "FakeBrowser.h"
#include "MemoryCredentialStorage.h"
#include "Services/AuthService.h"
#include "Services/BackgroundSyncManager.h"
#include "Services/SupabaseSyncRemote.h"
#include "Services/SyncCoordinator.h"
#include "TestBackend.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/account/AccountView.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QAction>

namespace {

// The application started with the real account service and background sync over the local
// test backend.
class AccountScreenStartUp : public AppShellFixture {
protected:
    void SetUp() override
    {
        account = &auth;
        backgroundSync = &sync;
        backend = cloud.configuration();
    }

    ~AccountScreenStartUp() override { delegate.reset(); }

    MenuBarPopover* shell() { return qobject_cast<MenuBarPopover*>(popover().content()); }

    TestBackend cloud;
    FakeBrowser browser;
    AuthService auth{
        cloud.client(), std::make_unique<MemoryCredentialStorage>(), browser, BackendSignIn::fetchRedirect(cloud)};
    BackgroundSyncManager sync{auth, std::make_unique<SupabaseSyncRemote>(cloud.client()), cloud.projectURL(), true};
};

TEST_F(AccountScreenStartUp, TheAccountCommandOpensTheAccountScreenOnTheApplicationsObjects)
{
    launchAndSettle();

    delegate->keyMonitor()->commands().action(PopoverCommands::Command::openAccount)->trigger();

    auto* screen = qobject_cast<AccountView*>(shell()->currentScreenWidget());
    ASSERT_NE(screen, nullptr);
    EXPECT_NE(screen->welcome(), nullptr);
}

TEST_F(AccountScreenStartUp, ClearingLocalDataKnowsWhetherSomeoneIsSignedIn)
{
    launchAndSettle();
    EXPECT_FALSE(state().isSignedIn());

    const auto signedIn = BackendSignIn::wait(auth, scheduler);
    ASSERT_TRUE(signedIn && signedIn->succeeded());

    EXPECT_TRUE(state().isSignedIn());
}

} // namespace
