// Gallery pages of the account screen: signed out (welcome, connecting, a failed sign-in, a
// saved sign-in that cannot be read), a build without the cloud, signed in (before sync,
// checking, synced, sync off in the build), and the sync review in its kinds. The account
// service and the coordinator are the real ones, over a cloud kept in memory.

#include "Gallery.h"
#include "SamplePopover.h"

#include "App/State/AppStateSync.h"
#include "Models/AuthError.h"
#include "Models/VelmoraJSON.h"
#include "Persistence/CredentialStorage.h"
#include "Persistence/SessionVault.h"
#include "Services/AuthService.h"
#include "Services/SyncCoordinator.h"
#include "Services/SyncRemote.h"
#include "Views/MenuBar/account/AccountView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "platform/ExternalBrowser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

namespace {

const QString project = QStringLiteral("https://gallery.velmora.invalid");
const QString userID = QStringLiteral("6f9619ff-8b86-4011-b42d-00c04fc964ff");

BackendConfiguration backend(bool cloudEnabled = true, bool syncEnabled = true)
{
    return BackendConfiguration{project, QStringLiteral("sb_publishable_gallery"), cloudEnabled, syncEnabled};
}

class MemoryStorage final : public CredentialStorage {
public:
    explicit MemoryStorage(std::optional<QByteArray> bytes = std::nullopt)
        : m_bytes(std::move(bytes))
    {
    }
    std::optional<QByteArray> read() override { return m_bytes; }
    void write(const QByteArray& bytes) override { m_bytes = bytes; }
    void remove() override { m_bytes.reset(); }

private:
    std::optional<QByteArray> m_bytes;
};

// A browser that takes every address and never comes back: a sign-in waits for it.
class WaitingBrowser final : public ExternalBrowser {
public:
    using ExternalBrowser::ExternalBrowser;
    bool open(const QUrl&) override { return true; }
};

// The account's cloud copy in memory. Reads and writes answer on the next turn of the event
// loop, or never while `answers` is false.
class PageCloud final : public QObject, public SyncRemote {
public:
    using QObject::QObject;

    bool answers = true;
    CloudSyncSnapshot stored{
        userID, revision(0), false, SyncSnapshot{UserData::empty(), AppSettings::defaults(), Stats::empty()}};

    void store(const SyncSnapshot& snapshot)
    {
        stored = CloudSyncSnapshot{userID, revision(++m_revisions), true, snapshot};
    }

    void read(const AuthCredentials&, const Cancellation&, Completion<CloudSyncSnapshot> done) override
    {
        reply(stored, std::move(done));
    }

    void compareAndSwap(const SyncSnapshot& next, const QString&, const AuthCredentials&, const Cancellation&,
        Completion<CloudSyncSnapshot> done) override
    {
        if (answers)
            store(next);
        reply(stored, std::move(done));
    }

private:
    static QString revision(int number) { return QStringLiteral("%1").arg(number, 32, 16, QLatin1Char('0')); }

    void reply(const CloudSyncSnapshot& snapshot, Completion<CloudSyncSnapshot> done)
    {
        if (answers)
            QMetaObject::invokeMethod(
                this, [snapshot, done = std::move(done)] { done(snapshot); }, Qt::QueuedConnection);
    }

    int m_revisions = 0;
};

AuthUser sampleUser()
{
    AuthUser user;
    user.id = userID;
    user.email = QStringLiteral("ada.lovelace@example.com");
    user.user_metadata = AuthUser::UserMetadata{QStringLiteral("Ada Lovelace"), std::nullopt};
    return user;
}

QByteArray storedSession()
{
    SessionVault vault(project, std::make_unique<MemoryStorage>());
    vault.save(
        AuthSession{QStringLiteral("gallery-access"), QStringLiteral("gallery-refresh"), 4'000'000'000, sampleUser()});
    return *vault.storage().read();
}

void withLibrary(const QString& folder)
{
    writeSampleFile(folder, QStringLiteral("data.json"), VelmoraJSON::encode(sampleLibrary()));
}

struct AccountSetup {
    std::optional<BackendConfiguration> backend = ::backend();
    std::optional<QByteArray> stored;
};

// A popover on the account screen, with its own account service, cloud and coordinator.
class AccountPage final : public SamplePopover {
public:
    explicit AccountPage(const AccountSetup& setup)
        : SamplePopover(&withLibrary)
        , browser(std::make_unique<WaitingBrowser>())
        , cloud(std::make_unique<PageCloud>())
        , auth(std::make_unique<AuthService>(
              SupabaseHTTPClient(setup.backend), std::make_unique<MemoryStorage>(setup.stored), *browser))
        , sync(std::make_unique<SyncCoordinator>(*auth, *cloud, project))
    {
        auto* synced = new AppStateSync(state());
        // Passes run while the page is built, before the screen comes into view and attaches it.
        sync->attach(synced);
        popover()->setAccountServices({auth.get(), sync.get(), synced, setup.backend});
        popover()->setScreen(PopoverScreen::account());
    }

    AccountView* view() const { return qobject_cast<AccountView*>(popover()->currentScreenWidget()); }

    // Runs what the network and the coordinator queued.
    static void settle()
    {
        for (int turn = 0; turn < 20; ++turn)
            QApplication::processEvents();
    }

    void click(const QString& title)
    {
        for (QAbstractButton* button : popover()->findChildren<QAbstractButton*>()) {
            if (button->text() == title && button->isVisibleTo(popover())) {
                button->click();
                return;
            }
        }
    }

    // A first pass and its answer: sync is on for this sign-in.
    void enableSync()
    {
        sync->run();
        settle();
        if (sync->review())
            sync->run(SyncCoordinator::Choice::useLocal, sync->review()->id);
        settle();
    }

    // Declared so that each goes before what it uses.
    std::unique_ptr<WaitingBrowser> browser;
    std::unique_ptr<PageCloud> cloud;
    std::unique_ptr<AuthService> auth;
    std::unique_ptr<SyncCoordinator> sync;
};

AccountPage* signedIn(const AccountSetup& setup = {})
{
    AccountSetup withSession = setup;
    withSession.stored = storedSession();
    return new AccountPage(withSession);
}

QWidget* buildSignedOut(Appearance)
{
    return new AccountPage({});
}

QWidget* buildConnecting(Appearance)
{
    auto* page = new AccountPage({});
    page->click(QStringLiteral("Continue with Google"));
    return page;
}

QWidget* buildSignInCancelled(Appearance)
{
    auto* page = new AccountPage({});
    page->click(QStringLiteral("Continue with Google"));
    page->click(QStringLiteral("Cancel"));
    AccountPage::settle();
    return page;
}

QWidget* buildUnreadableSignIn(Appearance)
{
    return new AccountPage({.backend = backend(), .stored = QByteArray("{\"version\": 2}")});
}

QWidget* buildNotConnected(Appearance)
{
    return new AccountPage({.backend = std::nullopt, .stored = std::nullopt});
}

QWidget* buildSignInPaused(Appearance)
{
    return new AccountPage({.backend = backend(false, false), .stored = std::nullopt});
}

QWidget* buildSignedIn(Appearance)
{
    return signedIn();
}

QWidget* buildChecking(Appearance)
{
    AccountPage* page = signedIn();
    page->cloud->answers = false;
    page->sync->run();
    return page;
}

QWidget* buildSynced(Appearance)
{
    AccountPage* page = signedIn();
    page->enableSync();
    return page;
}

QWidget* buildSyncOff(Appearance)
{
    return signedIn({.backend = backend(true, false), .stored = std::nullopt});
}

QWidget* buildFirstReview(Appearance)
{
    AccountPage* page = signedIn();
    page->sync->run();
    AccountPage::settle();
    return page;
}

QWidget* buildCloudReview(Appearance)
{
    AccountPage* page = signedIn();
    UserData cloudLibrary = sampleLibrary();
    cloudLibrary.shortcuts.removeLast();
    page->cloud->store(SyncSnapshot{cloudLibrary, AppSettings::defaults(), Stats::empty()});
    page->sync->run();
    AccountPage::settle();
    return page;
}

QWidget* buildCompetingEdits(Appearance)
{
    AccountPage* page = signedIn();
    page->enableSync();
    // Both computers counted expansions since the last sync.
    SyncSnapshot theirs = page->cloud->stored.snapshot;
    theirs.data.shortcuts.removeLast();
    theirs.stats.totalExpansions = 40;
    page->cloud->store(theirs);
    page->state().recordExpansion(QStringLiteral("/sig"), 10);
    page->sync->run();
    AccountPage::settle();
    return page;
}

QWidget* buildSaving(Appearance)
{
    AccountPage* page = signedIn();
    page->sync->run();
    AccountPage::settle();
    page->cloud->answers = false;
    page->click(QStringLiteral("Upload this computer's library"));
    return page;
}

const GalleryPageRegistration signedOut(QStringLiteral("account-signed-out"), &buildSignedOut);
const GalleryPageRegistration connecting(QStringLiteral("account-connecting"), &buildConnecting);
const GalleryPageRegistration cancelled(QStringLiteral("account-sign-in-cancelled"), &buildSignInCancelled);
const GalleryPageRegistration unreadable(QStringLiteral("account-unreadable-sign-in"), &buildUnreadableSignIn);
const GalleryPageRegistration notConnected(QStringLiteral("account-cloud-not-connected"), &buildNotConnected);
const GalleryPageRegistration paused(QStringLiteral("account-cloud-sign-in-paused"), &buildSignInPaused);
const GalleryPageRegistration idle(QStringLiteral("account-signed-in"), &buildSignedIn);
const GalleryPageRegistration checking(QStringLiteral("account-checking"), &buildChecking);
const GalleryPageRegistration synced(QStringLiteral("account-synced"), &buildSynced);
const GalleryPageRegistration syncOff(QStringLiteral("account-sync-off"), &buildSyncOff);
const GalleryPageRegistration firstReview(QStringLiteral("account-review-empty-cloud"), &buildFirstReview);
const GalleryPageRegistration cloudReview(QStringLiteral("account-review-cloud-library"), &buildCloudReview);
const GalleryPageRegistration competing(QStringLiteral("account-review-both-changed"), &buildCompetingEdits);
const GalleryPageRegistration saving(QStringLiteral("account-review-saving"), &buildSaving);

} // namespace
