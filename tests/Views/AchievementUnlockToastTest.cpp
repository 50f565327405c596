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
#include <QVariantAnimation>
#include <algorithm>
#include <cstdlib>
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

namespace {

// Whether the pixels within 2 of (x, y) are all opaque: inside the card, off its rim.
bool opaqueAround(const QImage& image, int x, int y)
{
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            if (!image.valid(x + dx, y + dy) || qAlpha(image.pixel(x + dx, y + dy)) < 255)
                return false;
        }
    }
    return true;
}

QImage shownOn(QWidget& window)
{
    return window.screen()->grabWindow(window.winId()).toImage();
}

} // namespace

// The unlocking spring settles by less than a pixel and a shade over most of its time, and
// frames that look the same are left out: what is on screen at the end is still the unlocked
// banner.
TEST(UnlockBannerMotion, FramesLeftOutDoNotChangeTheBannerItEndsOn)
{
    ManualScheduler scheduler;
    ManualMotionSettings motion{false};
    const Achievement& achievement = byId("volume_1");
    AchievementUnlockView banner(achievement, {});
    banner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&banner));
    // The running animation played through in steps of 10 ms, each step's frame drawn.
    const auto playThrough = [&] {
        auto* animation = banner.findChild<QVariantAnimation*>();
        if (!animation)
            return 0;
        animation->pause();
        int steps = 0;
        for (int at = 0; at <= animation->duration(); at += 10, ++steps) {
            animation->setCurrentTime(at);
            QApplication::processEvents();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return steps;
    };
    banner.start();
    ASSERT_GT(playThrough(), 0);
    banner.unlock();
    ASSERT_GT(playThrough(), 0);

    motion.setReduceMotion(true);
    AchievementUnlockView still(achievement, {});
    still.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&still));
    still.start();
    still.unlock();
    QApplication::processEvents();
    // Inside the card (its anti-aliased rim depends on the frames before), to a shade or two:
    // a frame left out differed from the one drawn by less.
    const QImage shown = shownOn(banner);
    const QImage expected = shownOn(still);
    ASSERT_EQ(shown.size(), expected.size());
    const QImage card = still.grab().toImage();
    int compared = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (!opaqueAround(card, x, y))
                continue;
            ++compared;
            const QRgb a = shown.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            ASSERT_LE(
                std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))}),
                2)
                << x << "," << y;
        }
    }
    EXPECT_GT(compared, shown.width() * shown.height() / 2);
}
