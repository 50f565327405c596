#include "AccountFixture.h"
#include "LibraryFixtures.h"
#include "Models/AuthError.h"
#include "Models/VelmoraJSON.h"
#include "Utilities/VelmoraError.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/ScreenHeader.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/account/AccountAvatar.h"
#include "Views/MenuBar/account/LibraryAccountContent.h"
#include "Views/MenuBar/account/SignedOutWelcome.h"
#include "platform/SecretStore.h"

namespace {

const QString google = QStringLiteral("Continue with Google");
const QString connecting = QStringLiteral("Connecting\u2026");
const QString unreadableText
    = QStringLiteral("Secure credentials could not be loaded. Sign out to reset them, then sign in again.");

class SameText final : public VelmoraError {
public:
    explicit SameText(QString text)
        : m_text(std::move(text))
    {
    }
    QString errorDescription() const override { return m_text; }

private:
    QString m_text;
};

using AccountViewTest = AccountFixture;

// ---------------------------------------------------------------- stages and the frame

TEST_F(AccountViewTest, SignedOutWithTheCloudOnShowsTheWelcomeReadyToSignIn)
{
    open();

    ASSERT_NE(view->welcome(), nullptr);
    EXPECT_TRUE(shows(QStringLiteral("Welcome to Velmora")));
    EXPECT_TRUE(visibleButton(view.get(), google)->isEnabled());
    EXPECT_TRUE(visibleButton(view.get(), QStringLiteral("Continue offline"))->isEnabled());
    EXPECT_EQ(visibleButton(view.get(), QStringLiteral("Cancel")), nullptr);
    EXPECT_EQ(visibleButton(view.get(), QStringLiteral("Clear saved sign-in")), nullptr);
}

TEST_F(AccountViewTest, WithoutAConfigurationThePanelSaysTheCloudIsNotConnected)
{
    services.backend.reset();
    open();

    EXPECT_EQ(view->welcome(), nullptr);
    EXPECT_TRUE(shows(QStringLiteral("Your library stays with you")));
    EXPECT_TRUE(shows(AccountView::notConnectedText));
    click(QStringLiteral("Back to my library"));
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::main);
}

TEST_F(AccountViewTest, WithCloudSignInOffThePanelSaysSignInIsPaused)
{
    build({.cloudEnabled = false, .syncEnabled = false});
    open();

    EXPECT_TRUE(shows(AccountView::signInPausedText));
    EXPECT_EQ(visibleButton(view.get(), google), nullptr);
}

TEST_F(AccountViewTest, ASignedInUserSeesTheCardEvenWhenTheBuildHasNoCloud)
{
    signIn();
    services.backend.reset();
    open();

    ASSERT_NE(view->libraryContent(), nullptr);
    EXPECT_TRUE(shows(QStringLiteral("Your words, on every device")));
    EXPECT_TRUE(shows(LibraryAccountContent::syncOffText));
    EXPECT_FALSE(view->libraryContent()->mainButton()->isEnabled());
}

TEST_F(AccountViewTest, TheHeadersBackButtonReturnsToTheList)
{
    open();
    QTest::mouseClick(view->header()->backButton(), Qt::LeftButton);
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::main);
}

// ---------------------------------------------------------------- the error notice

TEST_F(AccountViewTest, AnUnreadableSavedSignInIsReportedWithAWayToClearIt)
{
    storage->bytes = QByteArray("{\"version\": 2}");
    build({});
    open();
    EXPECT_TRUE(shows(unreadableText));

    click(QStringLiteral("Clear saved sign-in"));

    EXPECT_FALSE(shows(unreadableText));
    EXPECT_FALSE(storage->bytes);
    EXPECT_EQ(visibleButton(view.get(), QStringLiteral("Clear saved sign-in")), nullptr);
}

TEST_F(AccountViewTest, AKeyringLeftLockedOffersToTryAgainBeforeClearingTheSavedSignIn)
{
    signIn();
    nextStorageFailure = SecretStore::Status::locked;
    build({});
    open();
    EXPECT_FALSE(auth->isLoggedIn());
    ASSERT_NE(visibleButton(view.get(), QStringLiteral("Try again")), nullptr);
    EXPECT_NE(visibleButton(view.get(), QStringLiteral("Clear saved sign-in")), nullptr);

    // The user unlocks the keyring this time.
    storage->recover();
    click(QStringLiteral("Try again"));
    EXPECT_TRUE(until([&] { return auth->isLoggedIn(); }));
    EXPECT_TRUE(storage->bytes) << "the saved sign-in was kept";
    EXPECT_EQ(visibleButton(view.get(), QStringLiteral("Try again")), nullptr);
}

TEST_F(AccountViewTest, ASignInRefusedForUnreadableCredentialsShowsBothNotices)
{
    storage->bytes = QByteArray("{\"version\": 2}");
    build({});
    open();

    click(google);
    ASSERT_TRUE(until([&] { return !view->isLoading(); }));

    EXPECT_TRUE(shows(unreadableText));
    EXPECT_TRUE(shows(AuthError(AuthError::invalidStoredSession).errorDescription()));
}

TEST_F(AccountViewTest, AFailedSignOutWhileSignedInShowsTheNoticeWithoutTheClearButton)
{
    signIn();
    open();
    storage->failWith(SecretStore::Status::other);

    click(QStringLiteral("Sign out"));

    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_FALSE(auth->lastError().isEmpty());
    EXPECT_TRUE(shows(auth->lastError()));
    EXPECT_EQ(visibleButton(view.get(), QStringLiteral("Clear saved sign-in")), nullptr);
}

// The service publishes a failure while the sign-in runs, and the sign-in then fails with
// that same text: the screen shows it once, in the service's notice.
TEST_F(AccountViewTest, AFailureWithTheServicesOwnTextIsShownOnlyOnce)
{
    build({.authenticate = [this](const QUrl&, Completion<QString> done) {
        storage->failWith(SecretStore::Status::other);
        auth->signOut();
        storage->recover();
        done(Result<QString>::failure(SameText(auth->lastError())));
    }});
    open();

    click(google);

    ASSERT_FALSE(auth->lastError().isEmpty());
    EXPECT_EQ(view->errorMessage(), auth->lastError());
    EXPECT_EQ(visibleTexts(view.get()).count(auth->lastError()), 1);
}

// ---------------------------------------------------------------- signing in

TEST_F(AccountViewTest, SigningInShowsConnectingThenTheCardAndRunsOneLibraryCheck)
{
    computer.state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt);
    open();

    click(google);
    EXPECT_TRUE(view->isLoading());
    ASSERT_NE(visibleButton(view.get(), connecting), nullptr);
    EXPECT_FALSE(visibleButton(view.get(), connecting)->isEnabled());
    ASSERT_TRUE(until([&] { return !view->isLoading(); }));

    ASSERT_NE(view->libraryContent(), nullptr);
    EXPECT_EQ(syncReads(), 1);
    ASSERT_TRUE(sync->review());
    ASSERT_NE(view->reviewOverlay(), nullptr);
    EXPECT_TRUE(shows(QStringLiteral("Connect your library")));
}

TEST_F(AccountViewTest, WithLibrarySyncOffASignInRunsNoLibraryCheck)
{
    build({.syncEnabled = false});
    open();

    click(google);
    ASSERT_TRUE(until([&] { return !view->isLoading(); }));

    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_EQ(syncReads(), 0);
    EXPECT_TRUE(shows(LibraryAccountContent::syncOffText)) << visibleTexts(view.get()).join(u'|').toStdString();
}

TEST_F(AccountViewTest, CancelEndsASignInThatWaitsForTheBrowser)
{
    build({.throughBrowser = true});
    open();
    click(google);
    ASSERT_TRUE(auth->browser().isWaiting());

    click(QStringLiteral("Cancel"));
    ASSERT_TRUE(until([&] { return !view->isLoading(); }));

    EXPECT_TRUE(shows(QStringLiteral("Sign-in cancelled.")));
    ASSERT_NE(visibleButton(view.get(), google), nullptr);
    EXPECT_TRUE(visibleButton(view.get(), google)->isEnabled());
    EXPECT_EQ(visibleButton(view.get(), QStringLiteral("Cancel")), nullptr);
    EXPECT_FALSE(auth->isLoggedIn());
}

TEST_F(AccountViewTest, EscapeCancelsASignInThatWaitsForTheBrowser)
{
    build({.throughBrowser = true});
    open();
    click(google);

    press(Qt::Key_Escape);
    ASSERT_TRUE(until([&] { return !view->isLoading(); }));

    EXPECT_TRUE(shows(QStringLiteral("Sign-in cancelled.")));
}

TEST_F(AccountViewTest, LeavingWhileConnectingLetsTheSignInFinishWithItsLibraryCheck)
{
    open();
    click(google);

    click(QStringLiteral("Continue offline"));
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::main);
    view.reset();
    ASSERT_TRUE(until([&] { return auth->isLoggedIn() && syncReads() == 1 && !sync->isSyncing(); }));

    EXPECT_TRUE(sync->review());
}

// ---------------------------------------------------------------- the signed-in card

TEST_F(AccountViewTest, TheMainButtonFollowsTheCoordinator)
{
    signIn();
    open();
    LibraryAccountContent* card = view->libraryContent();
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(shows(LibraryAccountContent::explanation));
    EXPECT_TRUE(card->mainButton()->isEnabled());

    click(QStringLiteral("Review cloud library"));
    EXPECT_EQ(card->mainButton()->text(), QStringLiteral("Checking library\u2026"));
    EXPECT_FALSE(card->mainButton()->isEnabled());
    ASSERT_TRUE(settle());
    ASSERT_NE(view->reviewOverlay(), nullptr);
    click(QStringLiteral("Upload this computer's library"));
    ASSERT_TRUE(settle());

    EXPECT_TRUE(sync->canAutoSync());
    EXPECT_EQ(card->mainButton()->text(), QStringLiteral("Sync now"));
    EXPECT_TRUE(card->mainButton()->isEnabled());
    EXPECT_FALSE(shows(LibraryAccountContent::explanation));
    EXPECT_TRUE(shows(sync->message()));
}

TEST_F(AccountViewTest, UseOfflineCancelsARunningPassAndLeaves)
{
    signIn();
    open();
    click(QStringLiteral("Review cloud library"));
    ASSERT_TRUE(sync->isSyncing());

    click(QStringLiteral("Use Velmora offline"));

    EXPECT_FALSE(sync->isSyncing());
    EXPECT_TRUE(auth->isLoggedIn());
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::main);
}

TEST_F(AccountViewTest, SignOutPausesSyncAndShowsTheWelcome)
{
    signIn();
    open();
    click(QStringLiteral("Review cloud library"));

    click(QStringLiteral("Sign out"));

    EXPECT_FALSE(sync->isSyncing());
    EXPECT_FALSE(auth->isLoggedIn());
    EXPECT_NE(view->welcome(), nullptr);
}

TEST_F(AccountViewTest, WhileTheKeyringAsksDuringSignOutTheScreenKeepsAnswering)
{
    signIn();
    open();
    storage->promptBeforeEachCall();

    click(QStringLiteral("Sign out"));
    ASSERT_TRUE(until([&] { return storage->isAsking(); }));
    EXPECT_TRUE(auth->isLoggedIn()) << "signed in until the saved sign-in is gone";
    QTest::mouseClick(view->header()->backButton(), Qt::LeftButton);
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::main);

    ASSERT_TRUE(storage->answer(true));
    EXPECT_TRUE(until([&] { return !auth->isLoggedIn(); }));
    EXPECT_FALSE(storage->bytes);
}

TEST_F(AccountViewTest, AUserWithoutAnAddressIsShownAsSignedIn)
{
    AuthUser anonymous = backend.signingInUser();
    anonymous.email.reset();
    anonymous.user_metadata.reset();
    backend.setSigningInUser(anonymous);
    signIn();
    open();

    EXPECT_TRUE(shows(QStringLiteral("Signed in")));
    EXPECT_EQ(view->libraryContent()->avatar()->initial(), QStringLiteral("?"));
}

TEST(AccountAvatarInitial, TakesTheFirstCharacterOfTheNameElseTheAddressInUpperCase)
{
    const auto user = [](std::optional<QString> name, std::optional<QString> email) {
        AuthUser account;
        account.email = std::move(email);
        if (name)
            account.user_metadata = AuthUser::UserMetadata{name, std::nullopt};
        return std::optional(account);
    };
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    EXPECT_EQ(AccountAvatar::initialChar(std::nullopt), QStringLiteral("?"));
    EXPECT_EQ(AccountAvatar::initialChar(user(std::nullopt, QStringLiteral("ada@example.com"))), QStringLiteral("A"));
    EXPECT_EQ(AccountAvatar::initialChar(user(QStringLiteral("\u00e9mile"), QStringLiteral("x@example.com"))),
        QStringLiteral("\u00c9"));
    EXPECT_EQ(AccountAvatar::initialChar(user(QString(), QStringLiteral("x@example.com"))), QString());
    EXPECT_EQ(AccountAvatar::initialChar(user(family + QStringLiteral(" Smith"), std::nullopt)), family);
}

} // namespace
