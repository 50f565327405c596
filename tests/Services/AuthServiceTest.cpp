#include "Services/AuthService.h"
#include "AuthSamples.h"
#include "BackendSignIn.h"
#include "ErrorCapture.h"
#include "FakeBrowser.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "MemoryCredentialStorage.h"
#include "Persistence/KeychainHelper.h"
#include "TestBackend.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using AccessError = BackendConfiguration::AccessError;

namespace {

const QByteArray refreshPath = "/auth/v1/token";
const QString expiredText = QStringLiteral("Your sign-in has ended. Please sign in again.");

class AuthServiceTest : public ::testing::Test {
protected:
    // A service over the test backend, signing in through a direct fetch of the authorize
    // redirect instead of a browser.
    std::unique_ptr<AuthService> makeService(bool cloudEnabled = true)
    {
        auto owned = std::make_unique<MemoryCredentialStorage>();
        owned->bytes = storage ? storage->bytes : std::nullopt;
        if (promptingKeyring)
            owned->promptBeforeEachCall();
        storage = owned.get();
        return std::make_unique<AuthService>(
            backend.client(cloudEnabled), std::move(owned), browser, BackendSignIn::fetchRedirect(backend));
    }

    void SetUp() override { auth = makeService(); }

    void signIn()
    {
        const auto result = BackendSignIn::wait(*auth, scheduler);
        ASSERT_TRUE(result && result->succeeded()) << "sign-in failed";
    }

    Result<AuthCredentials> credentials(const Cancellation& cancellation = {})
    {
        std::optional<Result<AuthCredentials>> result;
        auth->credentials(cancellation, [&](Result<AuthCredentials> r) { result = std::move(r); });
        BackendSignIn::waitUntil(scheduler, [&] { return result.has_value(); });
        return result.value_or(Result<AuthCredentials>::failure(CancellationError()));
    }

    // Signs out and waits for the stored session's delete; false when it failed.
    bool signOut()
    {
        std::optional<bool> cleared;
        auth->signOut([&](bool done) { cleared = done; });
        BackendSignIn::waitUntil(scheduler, [&] { return cleared.has_value(); });
        return cleared.value_or(false);
    }

    int refreshRequests() const
    {
        int count = 0;
        for (const TestBackend::Request& request : backend.requests())
            count += request.target.contains("grant_type=refresh_token");
        return count;
    }

    TestBackend backend;
    ManualClock clock{QDateTime::currentDateTimeUtc()};
    ManualScheduler scheduler{&clock};
    FakeBrowser browser;
    MemoryCredentialStorage* storage = nullptr;
    std::unique_ptr<AuthService> auth;
    // The next services' credential store asks to be unlocked on every call.
    bool promptingKeyring = false;
};

// ---------------------------------------------------------------- sign-in

TEST_F(AuthServiceTest, SignInExchangesTheCodeStoresTheSessionAndPublishesTheUser)
{
    QSignalSpy loggedIn(auth.get(), &CredentialsProvider::isLoggedInChanged);

    signIn();

    EXPECT_TRUE(auth->isLoggedIn());
    ASSERT_TRUE(auth->currentUser());
    EXPECT_EQ(auth->currentUser()->id, backend.signingInUser().id);
    EXPECT_EQ(loggedIn.count(), 1);
    EXPECT_TRUE(storage->bytes);
    const auto exchange = std::find_if(backend.requests().begin(), backend.requests().end(),
        [](const TestBackend::Request& r) { return r.target.contains("grant_type=pkce"); });
    ASSERT_NE(exchange, backend.requests().end());
    EXPECT_EQ(exchange->json().keys(), (QStringList{QStringLiteral("auth_code"), QStringLiteral("code_verifier")}));
    EXPECT_TRUE(exchange->header("Authorization").isNull());
}

TEST_F(AuthServiceTest, ASessionThatCannotBeStoredIsNeverShownAsSignedIn)
{
    storage->failWith(SecretStore::Status::other);
    QSignalSpy loggedIn(auth.get(), &CredentialsProvider::isLoggedInChanged);

    const auto failed = BackendSignIn::wait(*auth, scheduler);

    ASSERT_TRUE(failed);
    EXPECT_TRUE(failed->errorAs<KeychainHelper::StorageError>());
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_EQ(loggedIn.count(), 0);
    storage->recover();
    signIn();
}

TEST_F(AuthServiceTest, TheStoredSessionIsRestoredAtStart)
{
    signIn();

    auth = makeService();

    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_EQ(auth->currentUser()->id, backend.signingInUser().id);
    EXPECT_TRUE(credentials().succeeded());
}

TEST_F(AuthServiceTest, ALockedKeyringIsReadOffTheInterfaceThreadAndACancelledPromptCanBeTriedAgain)
{
    signIn();
    promptingKeyring = true;
    auth = makeService();
    MemoryCredentialStorage* keyring = storage;
    // The constructor came back while the keyring still asks.
    EXPECT_TRUE(auth->isRestoringSession());
    EXPECT_FALSE(auth->isLoggedIn());
    const auto refused = BackendSignIn::wait(*auth, scheduler);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->errorAs<AuthError>(), AuthError::busy) << "no second sign-in while the first is being read";

    ASSERT_TRUE(keyring->answer(false));
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return !auth->isRestoringSession(); }));
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_TRUE(auth->isStoredSessionLocked());
    EXPECT_FALSE(auth->lastError().isEmpty());
    EXPECT_TRUE(storage->bytes) << "a locked keyring is no reason to delete the session";

    auth->retryStoredSession();
    EXPECT_TRUE(auth->isRestoringSession());
    ASSERT_TRUE(keyring->answer(true));
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return auth->isLoggedIn(); }));
    EXPECT_FALSE(auth->isStoredSessionLocked());
    EXPECT_TRUE(auth->lastError().isEmpty());
    EXPECT_EQ(auth->currentUser()->id, backend.signingInUser().id);
}

// A keyring that asks to be unlocked on every write, with nothing stored yet.
class PromptingKeyringTest : public AuthServiceTest {
protected:
    void SetUp() override
    {
        promptingKeyring = true;
        auth = makeService();
        ASSERT_TRUE(storage->answer(true)) << "the start-up read";
        ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return !auth->isRestoringSession(); }));
    }

    // Spins the event loop until the keyring asks, and shows that a timer still fires then.
    bool untilTheKeyringAsks()
    {
        if (!BackendSignIn::waitUntil(scheduler, [&] { return storage->isAsking(); }))
            return false;
        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        return BackendSignIn::waitUntil(scheduler, [&] { return ticked; });
    }

    void signInAnswering(bool unlock)
    {
        auth->signInWithGoogle([&](Result<AuthUser> r) { signedIn = std::move(r); });
        ASSERT_TRUE(untilTheKeyringAsks());
        EXPECT_FALSE(signedIn);
        EXPECT_FALSE(auth->isLoggedIn()) << "published only once stored";
        ASSERT_TRUE(storage->answer(unlock));
        ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return signedIn.has_value(); }));
    }

    std::optional<Result<AuthUser>> signedIn;
    std::optional<bool> cleared;
};

TEST_F(PromptingKeyringTest, SignInAndSignOutWaitForTheKeyringWithoutHoldingUpTheInterfaceThread)
{
    signInAnswering(false);
    EXPECT_EQ(signedIn->errorAs<KeychainHelper::StorageError>()->status(), SecretStore::Status::locked);
    EXPECT_FALSE(auth->isLoggedIn());

    signedIn.reset();
    signInAnswering(true);
    EXPECT_TRUE(signedIn->succeeded());
    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_TRUE(storage->bytes);

    auth->signOut([&](bool done) { cleared = done; });
    ASSERT_TRUE(untilTheKeyringAsks());
    EXPECT_TRUE(auth->isLoggedIn()) << "signed in until the stored session is gone";
    ASSERT_TRUE(storage->answer(false));
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return cleared.has_value(); }));
    EXPECT_FALSE(*cleared);
    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_TRUE(auth->lastError().startsWith(QStringLiteral("Could not finish signing out: ")));

    cleared.reset();
    auth->signOut([&](bool done) { cleared = done; });
    ASSERT_TRUE(storage->answer(true));
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return cleared.has_value(); }));
    EXPECT_TRUE(*cleared);
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_FALSE(storage->bytes);
}

TEST_F(PromptingKeyringTest, ARenewalWhoseWriteStaysLockedKeepsTheNewSessionAndSaysSo)
{
    backend.setExpiresIn(30);
    signInAnswering(true);
    const QByteArray stored = *storage->bytes;

    std::optional<Result<AuthCredentials>> renewed;
    auth->credentials({}, [&](Result<AuthCredentials> r) { renewed = std::move(r); });
    ASSERT_TRUE(untilTheKeyringAsks());
    EXPECT_FALSE(renewed);
    ASSERT_TRUE(storage->answer(false));
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return renewed.has_value(); }));

    ASSERT_TRUE(renewed->succeeded());
    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_TRUE(
        auth->lastError().startsWith(QStringLiteral("Your sign-in was renewed but could not be saved securely: ")));
    EXPECT_EQ(*storage->bytes, stored);
}

TEST_F(PromptingKeyringTest, SignOutWhileASignInIsBeingStoredLeavesNothingStored)
{
    auth->signInWithGoogle([&](Result<AuthUser> r) { signedIn = std::move(r); });
    ASSERT_TRUE(untilTheKeyringAsks());
    auth->signOut([&](bool done) { cleared = done; });

    ASSERT_TRUE(storage->answer(true)) << "the sign-in's write";
    ASSERT_TRUE(storage->answer(true)) << "the sign-out's delete, after it";
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] { return signedIn.has_value() && cleared.has_value(); }));

    EXPECT_EQ(signedIn->errorAs<AuthError>(), AuthError::sessionChanged);
    EXPECT_TRUE(*cleared);
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_FALSE(storage->bytes);
}

TEST_F(PromptingKeyringTest, TheServiceGoesAwayAtOnceWhileTheKeyringAsks)
{
    auth->signInWithGoogle([&](Result<AuthUser> r) { signedIn = std::move(r); });
    ASSERT_TRUE(untilTheKeyringAsks());

    auth.reset();

    // The call in flight keeps the store alive until it is answered, and the answer, which
    // reaches nobody, may come after the program let go.
    EXPECT_TRUE(storage->isAsking());
    EXPECT_TRUE(storage->answer(true));
    EXPECT_FALSE(signedIn);
}

TEST_F(AuthServiceTest, UnreadableStoredCredentialsBlockSignInUntilSignOut)
{
    storage->bytes = QByteArray("{\"version\": 2}");
    auth = makeService();
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_EQ(auth->lastError(),
        QStringLiteral("Secure credentials could not be loaded. Sign out to reset them, then sign in again."));
    const auto refused = BackendSignIn::wait(*auth, scheduler);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->errorAs<AuthError>(), AuthError::invalidStoredSession);

    EXPECT_TRUE(signOut());
    signIn();
    EXPECT_TRUE(auth->isLoggedIn());
}

TEST_F(AuthServiceTest, WithTheCloudOffTheCredentialStoreIsNeverReadAndSignInIsRefused)
{
    signIn();
    auth = makeService(false);

    EXPECT_FALSE(auth->isLoggedIn());
    const auto refused = BackendSignIn::wait(*auth, scheduler);
    EXPECT_EQ(refused->errorAs<AccessError>(), AccessError::disabled);
    EXPECT_EQ(credentials().errorAs<AccessError>(), AccessError::disabled);
}

TEST_F(AuthServiceTest, ASecondSignInWhileSignedInIsBusy)
{
    signIn();

    const auto second = BackendSignIn::wait(*auth, scheduler);

    EXPECT_EQ(second->errorAs<AuthError>(), AuthError::busy);
    EXPECT_TRUE(auth->isLoggedIn());
}

TEST_F(AuthServiceTest, SignOutWhileTheBrowserIsOpenCancelsTheSignIn)
{
    auth = std::make_unique<AuthService>(backend.client(), std::make_unique<MemoryCredentialStorage>(), browser);
    std::optional<Result<AuthUser>> result;
    auth->signInWithGoogle([&](Result<AuthUser> r) { result = std::move(r); });
    ASSERT_EQ(browser.opened().size(), 1);

    EXPECT_TRUE(signOut());
    BackendSignIn::waitUntil(scheduler, [&] { return result.has_value(); });

    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorAs<AuthError>(), AuthError::cancelled);
    EXPECT_FALSE(auth->isLoggedIn());
}

TEST_F(AuthServiceTest, SignOutWhileTheCodeIsExchangedStoresNothing)
{
    backend.failNext(QStringLiteral("/auth/v1/token"), TestBackend::Fault::delayed(150));
    std::optional<Result<AuthUser>> result;
    auth->signInWithGoogle([&](Result<AuthUser> r) { result = std::move(r); });
    ASSERT_TRUE(BackendSignIn::waitUntil(scheduler, [&] {
        return std::any_of(backend.requests().begin(), backend.requests().end(),
            [](const TestBackend::Request& r) { return r.target.contains("grant_type=pkce"); });
    }));

    EXPECT_TRUE(signOut());
    BackendSignIn::waitUntil(scheduler, [&] { return result.has_value(); });

    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorAs<AuthError>(), AuthError::sessionChanged);
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_FALSE(storage->bytes);
    signIn();
    EXPECT_TRUE(auth->isLoggedIn());
}

// ---------------------------------------------------------------- credentials and renewal

TEST_F(AuthServiceTest, ATokenExpiringWithinSixtySecondsIsRenewedFirst)
{
    backend.setExpiresIn(3600);
    signIn();

    clock.advance(3600 - 61);
    const AuthCredentials early = credentials().value();
    EXPECT_EQ(refreshRequests(), 0);

    clock.advance(1);
    const AuthCredentials renewed = credentials().value();
    EXPECT_EQ(refreshRequests(), 1);
    EXPECT_NE(renewed.accessToken, early.accessToken);
    EXPECT_EQ(renewed.userID, early.userID);
}

TEST_F(AuthServiceTest, ConcurrentCallersShareOneRenewal)
{
    backend.setExpiresIn(30);
    signIn();

    std::optional<Result<AuthCredentials>> first, second;
    auth->credentials({}, [&](Result<AuthCredentials> r) { first = std::move(r); });
    auth->credentials({}, [&](Result<AuthCredentials> r) { second = std::move(r); });
    BackendSignIn::waitUntil(scheduler, [&] { return first && second; });

    ASSERT_TRUE(first && second);
    EXPECT_EQ(refreshRequests(), 1);
    EXPECT_EQ(first->value().accessToken, second->value().accessToken);
}

TEST_F(AuthServiceTest, ACallerThatStopsWaitingDoesNotStopTheSharedRenewal)
{
    backend.setExpiresIn(30);
    signIn();
    Cancellation leaving;

    std::optional<Result<AuthCredentials>> gone, staying;
    auth->credentials(leaving, [&](Result<AuthCredentials> r) { gone = std::move(r); });
    auth->credentials({}, [&](Result<AuthCredentials> r) { staying = std::move(r); });
    leaving.cancel();
    BackendSignIn::waitUntil(scheduler, [&] { return gone && staying; });

    EXPECT_TRUE(gone->errorAs<CancellationError>());
    EXPECT_TRUE(staying->succeeded());
}

TEST_F(AuthServiceTest, SignOutDuringARenewalFailsEveryWaiterAndStoresNothing)
{
    backend.setExpiresIn(30);
    signIn();
    backend.failNext(QStringLiteral("/auth/v1/token"), TestBackend::Fault::delayed(150));

    std::optional<Result<AuthCredentials>> waiting;
    auth->credentials({}, [&](Result<AuthCredentials> r) { waiting = std::move(r); });
    EXPECT_TRUE(signOut());
    BackendSignIn::waitUntil(scheduler, [&] { return waiting.has_value(); });

    ASSERT_TRUE(waiting);
    EXPECT_FALSE(waiting->succeeded());
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_FALSE(storage->bytes);
}

TEST_F(AuthServiceTest, CredentialsOfAnEarlierEraFailValidation)
{
    signIn();
    const AuthCredentials issued = credentials().value();
    EXPECT_NO_THROW(auth->validate(issued, {}));

    AuthCredentials otherUser = issued;
    otherUser.userID = otherUser.userID.toUpper();
    EXPECT_EQ(thrownBy<AuthError>([&] { auth->validate(otherUser, {}); }), AuthError::sessionChanged);

    signOut();
    EXPECT_EQ(thrownBy<AuthError>([&] { auth->validate(issued, {}); }), AuthError::sessionChanged);
    EXPECT_EQ(credentials().errorAs<AuthError>(), AuthError::signedOut);
}

TEST_F(AuthServiceTest, ARenewalThatCannotBeStoredKeepsTheNewSessionAndSaysSo)
{
    backend.setExpiresIn(30);
    signIn();
    const QByteArray stored = *storage->bytes;
    storage->failWith(SecretStore::Status::other);

    const Result<AuthCredentials> renewed = credentials();

    ASSERT_TRUE(renewed.succeeded());
    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_TRUE(
        auth->lastError().startsWith(QStringLiteral("Your sign-in was renewed but could not be saved securely: ")));
    EXPECT_EQ(*storage->bytes, stored);
    EXPECT_TRUE(credentials().succeeded()) << "the kept session renews with its own, live token";
    EXPECT_EQ(refreshRequests(), 2);
}

TEST_F(AuthServiceTest, ARefusedRenewalEndsInASignInAgainState)
{
    backend.setExpiresIn(30);
    signIn();
    backend.failNext(QStringLiteral("/auth/v1/token"), TestBackend::Fault::withStatus(400));

    const Result<AuthCredentials> refused = credentials();

    EXPECT_EQ(refused.errorAs<AuthError>(), AuthError::signedOut);
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_EQ(auth->lastError(), expiredText);
    EXPECT_FALSE(storage->bytes);
    signIn();
    EXPECT_TRUE(auth->isLoggedIn());
}

TEST_F(AuthServiceTest, AServerErrorDuringRenewalKeepsTheSession)
{
    backend.setExpiresIn(30);
    signIn();
    backend.failNext(QStringLiteral("/auth/v1/token"), TestBackend::Fault::withStatus(500));

    EXPECT_FALSE(credentials().succeeded());

    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_TRUE(auth->lastError().isEmpty());
}

// ---------------------------------------------------------------- sign-out

TEST_F(AuthServiceTest, AFailedDeleteKeepsTheUserShownAndASecondSignOutClearsEverything)
{
    signIn();
    QSignalSpy eras(auth.get(), &CredentialsProvider::generationChanged);
    storage->failWith(SecretStore::Status::other);

    EXPECT_FALSE(signOut());
    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_FALSE(auth->currentProfile());
    EXPECT_TRUE(auth->lastError().startsWith(QStringLiteral("Could not finish signing out: ")));
    EXPECT_EQ(eras.count(), 1);

    storage->recover();
    EXPECT_TRUE(signOut());
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_TRUE(auth->lastError().isEmpty());
    // Nothing ever gives the account a profile.
    EXPECT_FALSE(auth->currentProfile());
}

TEST_F(AuthServiceTest, SigningOutWhenSignedOutSucceedsAndRenewsTheEra)
{
    const QUuid before = auth->generation();

    EXPECT_TRUE(signOut());

    EXPECT_NE(auth->generation(), before);
    EXPECT_FALSE(auth->isLoggedIn());
}

} // namespace
