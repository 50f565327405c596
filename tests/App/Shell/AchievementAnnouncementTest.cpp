#include "AppShellFixture.h"
#include "Services/AchievementCatalog.h"
#include "Views/MenuBar/achievements/AchievementUnlockToast.h"
#include "Views/MenuBar/achievements/AchievementsView.h"

#include <QTest>
#include <QWindow>

namespace {

class AchievementAnnouncement : public AppShellFixture {
protected:
    ~AchievementAnnouncement() override
    {
        // The banner of a test goes before the next test starts.
        scheduler.advance(60);
    }

    AchievementUnlockToast& banners() { return AchievementUnlockToast::shared(); }
    AchievementsView* achievementsScreen() { return popover().findChild<AchievementsView*>(); }
};

} // namespace

TEST_F(AchievementAnnouncement, AnExpansionThatCrossesAThresholdShowsTheBanner)
{
    launchAndSettle();
    state().recordExpansion(QStringLiteral("/sig"), 40);
    EXPECT_TRUE(state().stats().unlocked.contains(QStringLiteral("volume_1")));
    scheduler.runDue();
    ASSERT_TRUE(banners().banner());
    EXPECT_EQ(banners().banner()->achievement().id, QStringLiteral("volume_1"));
    EXPECT_TRUE(banners().banner()->isVisible());
    EXPECT_FALSE(banners().banner()->isActiveWindow());
}

TEST_F(AchievementAnnouncement, WithTheSettingOffAchievementsArriveSilently)
{
    AppSettings settings = AppSettings::defaults();
    settings.showAchievementToast = false;
    writeSettings(settings);
    launchAndSettle();
    state().recordExpansion(QStringLiteral("/sig"), 40);
    scheduler.runDue();
    EXPECT_TRUE(state().stats().unlocked.contains(QStringLiteral("volume_1")));
    EXPECT_FALSE(banners().banner());
}

TEST_F(AchievementAnnouncement, ClickingTheBannerOpensTheAchievementsScreen)
{
    launchAndSettle();
    NotificationCenter::instance().post(Notifications::velmoraClosePopover);
    state().recordExpansion(QStringLiteral("/sig"), 40);
    scheduler.runDue();
    ASSERT_TRUE(banners().banner());
    QTest::mouseClick(banners().banner(), Qt::LeftButton, {}, QPoint(90, 100));
    EXPECT_TRUE(popover().isShown());
    EXPECT_TRUE(achievementsScreen());
}

TEST_F(AchievementAnnouncement, EscapeClosesTheDetailSheetAndLeavesThePopoverOpen)
{
    launchAndSettle();
    NotificationCenter::instance().post(Notifications::velmoraOpenAchievements);
    AchievementsView* screen = achievementsScreen();
    ASSERT_TRUE(screen);
    screen->openDetail(AchievementCatalog::all().first());
    QTest::keyClick(popover().windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(screen->detailId());
    EXPECT_TRUE(popover().isShown());
}
