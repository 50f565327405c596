#include "Views/TimeSavedFloater.h"
#include "FakeWindowEffects.h"
#include "ManualScheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(TimeSavedFloaterText, FormatsSecondsThenMinutes)
{
    EXPECT_EQ(TimeSavedFloater::text(1.2), QStringLiteral("+1.2s saved"));
    EXPECT_EQ(TimeSavedFloater::text(59.96), QStringLiteral("+60.0s saved"));
    EXPECT_EQ(TimeSavedFloater::text(60), QStringLiteral("+1m saved"));
    EXPECT_EQ(TimeSavedFloater::text(61.9), QStringLiteral("+1m 1s saved"));
    EXPECT_FALSE(TimeSavedFloater::text(0));
    EXPECT_FALSE(TimeSavedFloater::text(-3));
    EXPECT_FALSE(TimeSavedFloater::text(std::nan("")));
    EXPECT_FALSE(TimeSavedFloater::text(std::numeric_limits<double>::infinity()));
}

TEST(TimeSavedFloaterText, FadesOnlyAfterSeventyPercent)
{
    EXPECT_DOUBLE_EQ(TimeSavedFloater::opacityAt(0.0), 1.0);
    EXPECT_DOUBLE_EQ(TimeSavedFloater::opacityAt(0.68), 1.0);
    EXPECT_NEAR(TimeSavedFloater::opacityAt(0.85), 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(TimeSavedFloater::opacityAt(1.0), 0.0);
}

namespace {
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};
} // namespace

TEST(TimeSavedFloater, RisesFiftyPixelsAndDisappearsAfterTwoAndAHalfSeconds)
{
    ManualScheduler scheduler;
    TimeSavedFloater floater;
    floater.show(1.2);
    EXPECT_FALSE(floater.window());
    scheduler.runDue();
    QWidget* window = floater.window();
    ASSERT_TRUE(window);
    auto* label = window->findChild<QLabel*>();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->accessibleName(), QStringLiteral("+1.2s saved"));
    EXPECT_FALSE(label->pixmap().isNull());
    const int startY = label->mapToGlobal(QPoint()).y();
    // Drawn when shown; the rise itself draws nothing again.
    QCoreApplication::sendPostedEvents();
    PaintCounter paints(*label);
    scheduler.advance(1.25);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(label->mapToGlobal(QPoint()).y(), startY - 25);
    EXPECT_EQ(paints.count, 0);
    scheduler.advance(1.25);
    EXPECT_FALSE(floater.window());
}

TEST(TimeSavedFloater, ANewerFloaterSurvivesTheOlderOnesLastStep)
{
    ManualScheduler scheduler;
    TimeSavedFloater floater;
    floater.show(1.0);
    scheduler.runDue();
    scheduler.advance(1.0);
    floater.show(2.0);
    scheduler.runDue();
    QWidget* newer = floater.window();
    ASSERT_TRUE(newer);
    scheduler.advance(1.6); // the first animation has ended by now
    EXPECT_EQ(floater.window(), newer);
    EXPECT_TRUE(newer->isVisible());
    scheduler.advance(1.0);
    EXPECT_FALSE(floater.window());
}

TEST(TimeSavedFloater, WhereTheWindowSystemMovesAPictureTheWholeRiseIsHandedToIt)
{
    ManualScheduler scheduler;
    FakeWindowEffects effects(true, false);
    effects.floatingPictures = true;
    TimeSavedFloater floater;
    floater.show(1.2);
    scheduler.runDue();
    ASSERT_EQ(effects.picture.plays, 1);
    const QList<FloatingPicture::Frame>& frames = effects.picture.frames;
    ASSERT_EQ(frames.size(), TimeSavedFloater::steps + 1);
    EXPECT_EQ(frames.first().position - frames.last().position, QPoint(0, TimeSavedFloater::rise));
    EXPECT_DOUBLE_EQ(frames.last().at, 2.5);
    for (const FloatingPicture::Frame& frame : frames)
        EXPECT_NEAR(frame.opacity, TimeSavedFloater::opacityAt(frame.at / 2.5), 1e-9);
    // Screen readers still find the label; nothing of it goes to the window system.
    QWidget* window = floater.window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->testAttribute(Qt::WA_DontShowOnScreen));
    scheduler.advance(2.5);
    EXPECT_FALSE(floater.window());

    // The same text again is not drawn again.
    const qint64 drawn = effects.picture.picture.cacheKey();
    floater.show(1.2);
    scheduler.runDue();
    EXPECT_EQ(effects.picture.plays, 2);
    EXPECT_EQ(effects.picture.picture.cacheKey(), drawn);
}
