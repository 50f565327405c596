#include "Views/MenuBar/achievements/AchievementsView.h"
#include "AchievementFixture.h"
#include "Utilities/Notifications.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/achievements/BadgeCard.h"
#include "Views/MenuBar/achievements/BadgeProgressBar.h"
#include "Views/MenuBar/achievements/DetailSheet.h"
#include "Views/MenuBar/achievements/FilterChip.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QApplication>
#include <QSettings>
#include <QTest>

namespace {

class AchievementsScreen : public AchievementFixture {
protected:
    AchievementsScreen() { QSettings().remove(AchievementListing::filterSettingsKey); }
    ~AchievementsScreen() override { QSettings().remove(AchievementListing::filterSettingsKey); }

    std::unique_ptr<AchievementsView> open()
    {
        auto view = std::make_unique<AchievementsView>(
            *state, ScreenBinding([this] { return screen; }, [this](const PopoverScreen& s) { screen = s; }));
        view->resize(340, 560);
        return view;
    }

    BadgeCard* card(AchievementsView& view, const char* id)
    {
        for (BadgeCard* c : view.cards())
            if (c->achievement().id == QLatin1String(id))
                return c;
        return nullptr;
    }

    PopoverScreen screen = PopoverScreen::achievements();
};

Stats withUnlocks(int count)
{
    Stats stats = Stats::empty();
    const char* order[]
        = {"volume_1", "volume_100", "time_1h", "library_first", "library_5", "folder_first", "streak_3"};
    for (int i = 0; i < count; ++i)
        stats.unlocked.insert(QString::fromLatin1(order[i]), QDateTime(QDate(2026, 1, i + 1), QTime(9, 0)));
    stats.unlocked.insert(QStringLiteral("retired_badge"), QDateTime(QDate(2026, 2, 1), QTime(9, 0)));
    return stats;
}

} // namespace

TEST_F(AchievementsScreen, WithNothingUnlockedItCountsZeroAndListsNoRecentUnlocks)
{
    start();
    auto view = open();
    EXPECT_EQ(view->summaryText(), QStringLiteral("0 / 33 unlocked"));
    EXPECT_EQ(view->sectionTitles(),
        QStringList({"Volume", "Time saved", "Library", "Folders", "Customization", "Streak", "Discovery", "Hidden"}));
    EXPECT_EQ(view->cards().size(), 33);
    EXPECT_TRUE(view->recentNames().isEmpty());

    view->chooseFilter(AchievementListing::Filter::unlocked);
    EXPECT_TRUE(view->sectionTitles().isEmpty());
    EXPECT_TRUE(view->cards().isEmpty());
}

TEST_F(AchievementsScreen, TheRecentListShowsTheFiveNewestAndIgnoresUnknownIds)
{
    start(withUnlocks(7));
    auto view = open();
    EXPECT_EQ(view->summaryText(), QStringLiteral("7 / 33 unlocked"));
    EXPECT_EQ(
        view->recentNames(), QStringList({"Warming Up", "Tidy", "Starter Kit", "First Shortcut", "An Hour Reclaimed"}));

    view->chooseFilter(AchievementListing::Filter::locked);
    EXPECT_EQ(view->cards().size(), 26);
    EXPECT_EQ(view->recentNames().size(), 5) << "the recent list does not follow the filter";
}

TEST_F(AchievementsScreen, TheChosenFilterIsKeptForTheNextOpening)
{
    start(withUnlocks(2));
    {
        auto view = open();
        view->show();
        EXPECT_TRUE(view->chips()[0]->isChecked());
        QTest::mouseClick(view->chips()[2], Qt::LeftButton);
        EXPECT_EQ(view->filter(), AchievementListing::Filter::locked);
    }
    EXPECT_EQ(QSettings().value(AchievementListing::filterSettingsKey).toString(), QStringLiteral("locked"));
    auto reopened = open();
    EXPECT_TRUE(reopened->chips()[2]->isChecked());
    EXPECT_EQ(reopened->cards().size(), 31);

    QSettings().setValue(AchievementListing::filterSettingsKey, QStringLiteral("Locked"));
    auto capitalised = open();
    EXPECT_TRUE(capitalised->chips()[0]->isChecked());
    EXPECT_EQ(capitalised->cards().size(), 33);
}

TEST_F(AchievementsScreen, CardsShowStampsOnlyAndTheProgressOfTheRest)
{
    Stats stats = Stats::empty();
    stats.totalExpansions = 37; // meets "First Words", which is not stamped yet
    start(stats);
    auto view = open();
    BadgeCard* first = card(*view, "volume_1");
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isLocked());
    BadgeCard* hundred = card(*view, "volume_100");
    ASSERT_TRUE(hundred && hundred->progressBar());
    EXPECT_EQ(hundred->progressBar()->text(), QStringLiteral("37 / 100"));
    EXPECT_EQ(card(*view, "egg_burst")->title(), QStringLiteral("???"));
}

TEST_F(AchievementsScreen, AnUnlockWhileOpenShowsAtOnce)
{
    start();
    auto view = open();
    state->recordExpansion(QStringLiteral("/sig"), 40);
    EXPECT_EQ(view->summaryText(), QStringLiteral("1 / 33 unlocked"));
    EXPECT_EQ(view->recentNames(), QStringList({"First Words"}));
    EXPECT_FALSE(card(*view, "volume_1")->isLocked());
}

TEST_F(AchievementsScreen, AnOpenSheetFollowsAnUnlock)
{
    start();
    auto view = open();
    view->show();
    view->openDetail(byId("volume_1"));
    ASSERT_TRUE(view->detailSheet()->progressBlock());
    state->recordExpansion(QStringLiteral("/sig"), 40);
    ASSERT_TRUE(view->detailSheet());
    EXPECT_TRUE(view->detailSheet()->metaLine().startsWith(QStringLiteral("Unlocked ")));
    EXPECT_FALSE(view->detailSheet()->progressBlock());
    QTest::mouseClick(view->detailSheet()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(view->detailId());
}

TEST_F(AchievementsScreen, ACardOpensItsSheetAndTheDimmedPageClosesIt)
{
    start(withUnlocks(1));
    auto view = open();
    view->show();
    QTest::mouseClick(card(*view, "volume_1"), Qt::LeftButton, {}, QPoint(70, 100));
    ASSERT_EQ(view->detailId(), QStringLiteral("volume_1"));
    ASSERT_TRUE(view->detailSheet());
    EXPECT_TRUE(view->detailSheet()->metaLine().startsWith(QStringLiteral("Unlocked ")));

    QWidget* dim = view->detailSheet()->parentWidget();
    QTest::mouseClick(dim, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(view->detailId());

    view->openDetail(byId("volume_100k"));
    QTest::mouseClick(view->detailSheet()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(view->detailId());
}

TEST_F(AchievementsScreen, EscapeInThePopoverClosesTheSheetBeforeThePopover)
{
    start(withUnlocks(1));
    MenuBarPopover popover(*state, PopoverScreen::achievements(), [] {});
    popover.show();
    popover.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover));
    auto* view = popover.findChild<AchievementsView*>();
    ASSERT_TRUE(view);
    int closes = 0;
    QObject context;
    NotificationCenter::instance().observe(
        Notifications::velmoraClosePopover, &context, [&](const QVariant&) { ++closes; });

    view->openDetail(byId("volume_1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(view->detailId());
    EXPECT_EQ(closes, 0);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
}

TEST_F(AchievementsScreen, BackReturnsToTheList)
{
    start();
    auto view = open();
    view->show();
    QTest::mouseClick(view->findChild<SymbolButton*>(), Qt::LeftButton);
    EXPECT_EQ(screen.kind(), PopoverScreen::Kind::main);
}
