#include "Views/MenuBar/stats/StatsView.h"
#include "AchievementFixture.h"
#include "Views/Components/SymbolButton.h"

#include <QTest>
#include <cmath>
#include <limits>

namespace {

class StatsScreen : public AchievementFixture {
protected:
    std::unique_ptr<StatsView> open()
    {
        return std::make_unique<StatsView>(
            *state, ScreenBinding([this] { return screen; }, [this](const PopoverScreen& s) { screen = s; }));
    }
    PopoverScreen screen = PopoverScreen::stats();
};

UserData library(int shortcuts, int folders)
{
    UserData data = UserData::empty();
    for (int i = 0; i < folders; ++i) {
        Group g;
        g.id = QStringLiteral("G%1").arg(i);
        g.name = g.id;
        if (i > 0)
            g.parentGroupId = QStringLiteral("G0");
        data.groups.append(g);
    }
    for (int i = 0; i < shortcuts; ++i) {
        Shortcut s;
        s.id = QStringLiteral("S%1").arg(i);
        s.trigger = QStringLiteral("/t%1").arg(i);
        s.expansion = QStringLiteral("text");
        s.order = i;
        data.shortcuts.append(s);
    }
    return data;
}

} // namespace

TEST_F(StatsScreen, EmptyStatisticsReadZero)
{
    start();
    auto view = open();
    EXPECT_EQ(view->headline(), QStringLiteral("0s"));
    for (const char* row : {"Expansions", "Shortcuts", "Folders", "Custom icons"})
        EXPECT_EQ(view->rowValue(QString::fromLatin1(row)), QStringLiteral("0")) << row;
    EXPECT_EQ(view->rowValue(QStringLiteral("Unlocked")), QStringLiteral("0 / 33"));
    EXPECT_EQ(view->rowValue(QStringLiteral("Latest")), QStringLiteral("\u2014"));
}

TEST_F(StatsScreen, ShowsTheTotalsTheLibraryAndTheLatestUnlock)
{
    Stats stats = Stats::empty();
    stats.totalTimeSaved = 3660;
    stats.totalExpansions = 12345;
    stats.unlocked.insert(QStringLiteral("volume_1"), day(1));
    stats.unlocked.insert(QStringLiteral("volume_100"), day(4));
    stats.unlocked.insert(QStringLiteral("not_in_catalog"), day(9));
    start(stats, library(40, 3));
    auto view = open();
    EXPECT_EQ(view->headline(), QStringLiteral("1h 1m"));
    EXPECT_EQ(view->rowValue(QStringLiteral("Expansions")), QStringLiteral("12345"));
    EXPECT_EQ(view->rowValue(QStringLiteral("Shortcuts")), QStringLiteral("40"));
    EXPECT_EQ(view->rowValue(QStringLiteral("Folders")), QStringLiteral("3"));
    EXPECT_EQ(view->rowValue(QStringLiteral("Unlocked")), QStringLiteral("2 / 33"));
    EXPECT_TRUE(view->rowValue(QStringLiteral("Latest")).startsWith(QStringLiteral("Hundred Strong ")));
}

TEST_F(StatsScreen, AnExpansionShowsAtOnce)
{
    start();
    auto view = open();
    state->recordExpansion(QStringLiteral("/sig"), 333);
    EXPECT_EQ(view->headline(), QStringLiteral("1m 40s"));
    EXPECT_EQ(view->rowValue(QStringLiteral("Expansions")), QStringLiteral("1"));
    EXPECT_TRUE(view->rowValue(QStringLiteral("Latest")).startsWith(QStringLiteral("First Words ")));
}

TEST_F(StatsScreen, AHugeHandEditedTotalIsShownClamped)
{
    Stats stats = Stats::empty();
    stats.totalTimeSaved = 1e300;
    start(stats);
    auto view = open();
    EXPECT_EQ(view->headline(), QStringLiteral("2562047788015215h 30m"));
}

TEST_F(StatsScreen, BackReturnsToTheList)
{
    start();
    auto view = open();
    view->show();
    QTest::mouseClick(view->findChild<SymbolButton*>(), Qt::LeftButton);
    EXPECT_EQ(screen.kind(), PopoverScreen::Kind::main);
}
