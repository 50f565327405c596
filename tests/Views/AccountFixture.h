#pragma once

#include "BackendSignIn.h"
#include "FakeBrowser.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "MemoryCredentialStorage.h"
#include "ScreenKeysHost.h"
#include "Services/AuthService.h"
#include "Services/SupabaseSyncRemote.h"
#include "Services/SyncCoordinator.h"
#include "SyncedComputer.h"
#include "TestBackend.h"
#include "Views/MenuBar/account/AccountView.h"
#include "WidgetLookup.h"

#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// The account screen on its own, as the popover shows it, over the real account service and
// sync coordinator talking to the local test backend.
class AccountFixture : public ::testing::Test {
protected:
    struct Options {
        bool cloudEnabled = true;
        bool syncEnabled = true;
        // The sign-in waits for FakeBrowser instead of fetching the redirect itself.
        bool throughBrowser = false;
        // Replaces the browser step when given.
        AuthService::Authenticate authenticate = {};
    };

    void SetUp() override
    {
        // The profile picture, too, comes from the local backend and nowhere else.
        AuthUser user = backend.signingInUser();
        user.user_metadata->avatar_url = backend.projectURL() + QStringLiteral("/grace.png");
        backend.setSigningInUser(user);
        build({});
    }
    void TearDown() override
    {
        view.reset();
        // A request called off by a pause hands its outcome over on the next turn of the event
        // loop, and its reply must go before the backend's network session does.
        for (int turn = 0; turn < 3; ++turn) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // The account service and the coordinator, over the credential store kept so far.
    void build(const Options& options)
    {
        auto owned = std::make_unique<MemoryCredentialStorage>();
        owned->bytes = storage ? storage->bytes : std::nullopt;
        if (const std::optional<SecretStore::Status> failure = std::exchange(nextStorageFailure, std::nullopt))
            owned->failWith(*failure);
        view.reset();
        sync.reset();
        auth.reset();
        storage = owned.get();
        auth = std::make_unique<AuthService>(backend.client(options.cloudEnabled, options.syncEnabled),
            std::move(owned), browser,
            options.throughBrowser
                ? AuthService::Authenticate()
                : (options.authenticate ? options.authenticate : BackendSignIn::fetchRedirect(backend)));
        const BackendConfiguration configuration = backend.configuration(options.cloudEnabled, options.syncEnabled);
        remote = std::make_unique<SupabaseSyncRemote>(
            backend.client(), [configuration] { BackendConfiguration::requireLibrarySync(configuration); });
        sync = std::make_unique<SyncCoordinator>(*auth, *remote, backend.projectURL());
        services = AccountServices{auth.get(), sync.get(), computer.sync, configuration, backend.transport()};
    }

    void open()
    {
        shown = PopoverScreen::account();
        view = std::make_unique<AccountView>(services, binding);
        new ScreenKeysHost(view.get());
        view->resize(340, 560);
        view->show();
    }

    void signIn()
    {
        const auto result = BackendSignIn::wait(*auth, scheduler);
        ASSERT_TRUE(result && result->succeeded()) << "sign-in failed";
    }

    bool settle()
    {
        return BackendSignIn::waitUntil(scheduler, [&] { return !sync->isSyncing() && !auth->browser().isWaiting(); });
    }

    bool until(const std::function<bool()>& done) { return BackendSignIn::waitUntil(scheduler, done); }

    void click(const QString& title)
    {
        QAbstractButton* button = visibleButton(view.get(), title);
        ASSERT_NE(button, nullptr) << "no button " << title.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    bool shows(const QString& text) const { return visibleTexts(view.get()).contains(text); }

    void press(Qt::Key key) { QTest::keyClick(view.get(), key); }

    int syncReads() const
    {
        int count = 0;
        for (const TestBackend::Request& request : backend.requests())
            count += request.path() == "/rest/v1/rpc/velmora_read_sync";
        return count;
    }

    TestBackend backend;
    ManualClock clock{QDateTime::currentDateTimeUtc()};
    ManualScheduler scheduler{&clock};
    FakeBrowser browser;
    SyncedComputer computer;
    MemoryCredentialStorage* storage = nullptr;
    // The next build's credential store fails every call with this status from the start.
    std::optional<SecretStore::Status> nextStorageFailure;
    std::unique_ptr<AuthService> auth;
    std::unique_ptr<SupabaseSyncRemote> remote;
    std::unique_ptr<SyncCoordinator> sync;
    AccountServices services;
    PopoverScreen shown = PopoverScreen::account();
    ScreenBinding binding{[this] { return shown; }, [this](const PopoverScreen& screen) { shown = screen; }};
    std::unique_ptr<AccountView> view;
};
