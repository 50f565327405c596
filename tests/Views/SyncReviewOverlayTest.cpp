#include "Views/MenuBar/account/SyncReviewOverlay.h"
#include "AccountFixture.h"
#include "LibraryFixtures.h"
#include "Models/VelmoraJSON.h"
#include "Views/Components/ScreenHeader.h"
#include "Views/Components/SymbolButton.h"

namespace {

const QString download = QStringLiteral("Download cloud library");
const QString upload = QStringLiteral("Upload this computer's library");
const QString pause = QStringLiteral("Not now \u00b7 keep sync paused");

SyncSnapshot libraryOf(const QStringList& triggers)
{
    UserData data = UserData::empty();
    for (const QString& trigger : triggers)
        data.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("S%1").arg(data.shortcuts.size()), trigger));
    return SyncSnapshot{data, AppSettings::defaults(), Stats::empty()};
}

class SyncReviewOverlayTest : public AccountFixture {
protected:
    // Signed in with `local` on this computer and `cloud` in the account's cloud copy (none: an
    // empty one), the screen open on the review the first check raises.
    void review(const QStringList& local, const std::optional<QStringList>& cloud = std::nullopt)
    {
        computer.dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(libraryOf(local).data));
        computer.open();
        build({});
        if (cloud)
            backend.setCloud(backend.signingInUser().id, libraryOf(*cloud).toJson().toObject());
        signIn();
        open();
        click(QStringLiteral("Review cloud library"));
        ASSERT_TRUE(settle());
        ASSERT_NE(view->reviewOverlay(), nullptr) << sync->message().toStdString();
    }

    SyncReviewOverlay* overlay() const { return view->reviewOverlay(); }
    QAbstractButton* choice(const QString& title) const { return visibleButton(overlay(), title); }
    bool overlayShows(const QString& text) const { return visibleTexts(overlay()).contains(text); }

    int writes() const
    {
        int count = 0;
        for (const TestBackend::Request& request : backend.requests())
            count += request.path() == "/rest/v1/rpc/velmora_write_sync";
        return count;
    }
};

TEST_F(SyncReviewOverlayTest, AnEmptyCloudOffersOnlyTheUploadAndCountsBothSides)
{
    review({QStringLiteral("/sig")});

    EXPECT_TRUE(overlayShows(QStringLiteral("Connect your library")));
    EXPECT_TRUE(overlayShows(backend.signingInUser().email.value()));
    EXPECT_TRUE(overlayShows(QStringLiteral("1 shortcut")));
    EXPECT_TRUE(overlayShows(QStringLiteral("0 shortcuts")));
    EXPECT_EQ(choice(download), nullptr);
    ASSERT_NE(choice(upload), nullptr);
    EXPECT_TRUE(choice(upload)->isEnabled());
}

TEST_F(SyncReviewOverlayTest, UploadSendsThisComputersLibraryAndTheOverlayGoes)
{
    review({QStringLiteral("/sig")});

    click(upload);
    ASSERT_TRUE(settle());

    EXPECT_EQ(view->reviewOverlay(), nullptr);
    EXPECT_TRUE(sync->canAutoSync());
    const QJsonObject cloud = backend.cloud(backend.signingInUser().id);
    EXPECT_TRUE(cloud.value(QStringLiteral("has_cloud")).toBool());
    EXPECT_TRUE(view->screenColumn()->isEnabled());
}

TEST_F(SyncReviewOverlayTest, ACloudLibraryIsOfferedFirstAndDownloadReplacesThisComputers)
{
    review({QStringLiteral("/sig")}, QStringList{QStringLiteral("/a"), QStringLiteral("/b")});
    EXPECT_TRUE(overlayShows(QStringLiteral("2 shortcuts")));
    ASSERT_NE(choice(download), nullptr);
    const QList<QAbstractButton*> tiles = overlay()->card()->findChildren<QAbstractButton*>();
    EXPECT_LT(tiles.indexOf(choice(download)), tiles.indexOf(choice(upload)));

    click(download);
    ASSERT_TRUE(settle());

    EXPECT_EQ(view->reviewOverlay(), nullptr);
    EXPECT_EQ(computer.state->userData().shortcuts.size(), 2);
}

TEST_F(SyncReviewOverlayTest, DuplicateTriggersHereKeepTheUploadDisabledButNotTheDownload)
{
    review({QStringLiteral("/sig"), QStringLiteral("/sig")}, QStringList{QStringLiteral("/a")});

    EXPECT_FALSE(choice(upload)->isEnabled());
    EXPECT_TRUE(choice(download)->isEnabled());
    QTest::mouseClick(choice(upload), Qt::LeftButton);
    EXPECT_FALSE(sync->isSyncing());
}

TEST_F(SyncReviewOverlayTest, WhileAChoiceIsSavingTheCardIsInertAndSaysSo)
{
    review({QStringLiteral("/sig")});

    click(upload);

    ASSERT_TRUE(sync->isSyncing());
    EXPECT_FALSE(overlay()->card()->isEnabled());
    EXPECT_TRUE(overlayShows(QStringLiteral("Saving safely\u2026")));
    ASSERT_TRUE(settle());
}

TEST_F(SyncReviewOverlayTest, NotNowKeepsSyncPausedAndWritesNothing)
{
    review({QStringLiteral("/sig")});
    const UserData before = computer.state->userData();

    click(pause);

    EXPECT_FALSE(sync->review());
    EXPECT_EQ(view->reviewOverlay(), nullptr);
    EXPECT_EQ(writes(), 0);
    EXPECT_EQ(computer.state->userData(), before);
}

TEST_F(SyncReviewOverlayTest, EscapeClosesTheReviewAndKeepsSyncPaused)
{
    review({QStringLiteral("/sig")});

    press(Qt::Key_Escape);

    EXPECT_FALSE(sync->review());
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::account);
}

TEST_F(SyncReviewOverlayTest, NothingUnderTheReviewReacts)
{
    review({QStringLiteral("/sig")});

    EXPECT_FALSE(view->screenColumn()->isEnabled());
    QTest::mouseClick(view->header()->backButton(), Qt::LeftButton);
    EXPECT_EQ(shown.kind(), PopoverScreen::Kind::account);
}

TEST_F(SyncReviewOverlayTest, ALibraryLinkedToAnotherAccountSaysSo)
{
    review({QStringLiteral("/sig")});
    click(upload);
    ASSERT_TRUE(settle());
    click(QStringLiteral("Sign out"));
    AuthUser other = backend.signingInUser();
    other.id = QStringLiteral("0a1b2c3d-0000-4000-8000-000000000002");
    other.email = QStringLiteral("grace@example.com");
    backend.setSigningInUser(other);
    signIn();

    click(QStringLiteral("Review cloud library"));
    ASSERT_TRUE(settle());

    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(overlay()->review().reason, SyncReview::Reason::differentAccount);
    EXPECT_TRUE(overlayShows(SyncReviewOverlay::explanation(SyncReview::Reason::differentAccount)));
    EXPECT_TRUE(overlayShows(QStringLiteral("grace@example.com")));
}

TEST(SyncReviewCounts, OneIsSingularEverythingElsePlural)
{
    EXPECT_EQ(SyncReviewOverlay::shortcutCount(0), QStringLiteral("0 shortcuts"));
    EXPECT_EQ(SyncReviewOverlay::shortcutCount(1), QStringLiteral("1 shortcut"));
    EXPECT_EQ(SyncReviewOverlay::shortcutCount(2), QStringLiteral("2 shortcuts"));
    EXPECT_EQ(SyncReviewOverlay::shortcutCount(1200), QStringLiteral("1200 shortcuts"));
}

// ---------------------------------------------------------------- attaching the state

using AccountAttachTest = AccountFixture;

TEST_F(AccountAttachTest, ReopeningWithTheSameStateLeavesARunningPassAlone)
{
    signIn();
    open();
    click(QStringLiteral("Review cloud library"));
    ASSERT_TRUE(sync->isSyncing());

    open();

    EXPECT_TRUE(sync->isSyncing());
    ASSERT_TRUE(settle());
}

TEST_F(AccountAttachTest, OpeningWithAnotherStatePausesSyncFirst)
{
    signIn();
    open();
    click(QStringLiteral("Review cloud library"));
    SyncedComputer other;
    services.state = other.sync;

    open();

    EXPECT_FALSE(sync->isSyncing());
    EXPECT_EQ(sync->attachedState(), other.sync);
}

} // namespace
