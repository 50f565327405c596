#include "Views/MenuBar/achievements/AchievementUnlockToast.h"
#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Services/AchievementCatalog.h"
#include "Utilities/Notifications.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const Achievement& byId(const char* id)
{
    return *AchievementCatalog::find(QString::fromLatin1(id));
}

class UnlockBanner : public ::testing::Test {
protected:
    QString shownId() const { return toast.banner() ? toast.banner()->achievement().id : QString(); }

    void hover(bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(90, 100), QPointF(90, 100), QPointF(90, 100));
            QApplication::sendEvent(toast.banner(), &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(toast.banner(), &leave);
        }
    }

    ManualScheduler scheduler;
    ManualMotionSettings motion{true};
    AchievementUnlockToast toast;
};

} // namespace

TEST_F(UnlockBanner, ShowsOneBannerAtATimeInTheTopRightCorner)
{
    toast.show(byId("library_first"));
    toast.show(byId("library_5"));
    toast.show(byId("folder_first"));
    ASSERT_EQ(shownId(), QStringLiteral("library_first"));
    EXPECT_EQ(toast.queuedCount(), 2);
    AchievementUnlockView* banner = toast.banner();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(banner->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(banner->geometry(), QRect(area.right() + 1 - 16 - 180, area.top() + 16, 180, 200));

    scheduler.advance(3.6);
    EXPECT_TRUE(banner->isDismissed());
    EXPECT_EQ(shownId(), QStringLiteral("library_first")) << "still fading out";
    scheduler.advance(0.25);
    EXPECT_EQ(shownId(), QStringLiteral("library_5"));
    scheduler.advance(3.85);
    EXPECT_EQ(shownId(), QStringLiteral("folder_first"));
    scheduler.advance(3.85);
    EXPECT_FALSE(toast.banner());
    EXPECT_FALSE(toast.isPresenting());
}

TEST_F(UnlockBanner, HoldsTheLockThenUnlocks)
{
    toast.show(byId("volume_1"));
    AchievementUnlockView* banner = toast.banner();
    EXPECT_EQ(banner->phase(), AchievementUnlockView::Phase::locked);
    scheduler.advance(0.59);
    EXPECT_EQ(banner->phase(), AchievementUnlockView::Phase::locked);
    scheduler.advance(0.02);
    EXPECT_EQ(banner->phase(), AchievementUnlockView::Phase::unlocked);
}

TEST_F(UnlockBanner, ThePointerHoldsItAndLeavingGivesItThreeSecondsMore)
{
    toast.show(byId("volume_1"));
    AchievementUnlockView* banner = toast.banner();
    scheduler.advance(1);
    hover(true);
    scheduler.advance(10);
    EXPECT_FALSE(banner->isDismissed());
    hover(false);
    scheduler.advance(2.9);
    EXPECT_FALSE(banner->isDismissed());
    scheduler.advance(0.1);
    EXPECT_TRUE(banner->isDismissed());
}

TEST_F(UnlockBanner, AClickOpensTheAchievementsAndBringsTheNextOne)
{
    int opened = 0;
    QObject context;
    NotificationCenter::instance().observe(
        Notifications::velmoraOpenAchievements, &context, [&](const QVariant&) { ++opened; });
    toast.show(byId("volume_1"));
    toast.show(byId("volume_100"));
    toast.banner()->show();
    QTest::mouseClick(toast.banner(), Qt::LeftButton, {}, QPoint(90, 100));
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(toast.banner()->isDismissed());
    scheduler.advance(0.25);
    EXPECT_EQ(shownId(), QStringLiteral("volume_100"));
}

TEST_F(UnlockBanner, ABannerDismissedTwiceAdvancesTheQueueOnce)
{
    toast.show(byId("volume_1"));
    toast.show(byId("volume_100"));
    toast.show(byId("volume_1k"));
    AchievementUnlockView* first = toast.banner();
    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(90, 100));
    hover(false); // leaving after the click asks again
    first->dismiss();
    EXPECT_FALSE(first->hasPendingDismiss());
    scheduler.advance(0.25);
    EXPECT_EQ(shownId(), QStringLiteral("volume_100"));
    EXPECT_EQ(toast.queuedCount(), 1);
    scheduler.advance(3.0);
    EXPECT_EQ(shownId(), QStringLiteral("volume_100")) << "the second banner keeps its own time";
    scheduler.advance(0.85);
    EXPECT_EQ(shownId(), QStringLiteral("volume_1k"));
}
