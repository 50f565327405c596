#include "Utilities/ToastManager.h"
#include "ManualScheduler.h"

#include <gtest/gtest.h>

namespace {
struct ToastManagerTest : ::testing::Test {
    ManualScheduler scheduler;
    ToastManager toast;
};
} // namespace

TEST_F(ToastManagerTest, ShowsForTheDurationThenClearsTheTextAfterTheFade)
{
    toast.show(QStringLiteral("Copied"));
    EXPECT_TRUE(toast.isShowing());
    EXPECT_EQ(toast.message(), QStringLiteral("Copied"));
    scheduler.advance(1.79);
    EXPECT_TRUE(toast.isShowing());
    scheduler.advance(0.02);
    EXPECT_FALSE(toast.isShowing());
    EXPECT_EQ(toast.message(), QStringLiteral("Copied"));
    scheduler.advance(0.3);
    EXPECT_FALSE(toast.message());
}

TEST_F(ToastManagerTest, ANewToastReplacesTheOldAndRestartsTheDuration)
{
    toast.show(QStringLiteral("First"));
    scheduler.advance(1.0);
    toast.show(QStringLiteral("Second"));
    EXPECT_EQ(toast.message(), QStringLiteral("Second"));
    scheduler.advance(1.0);
    EXPECT_TRUE(toast.isShowing());
    scheduler.advance(0.81);
    EXPECT_FALSE(toast.isShowing());
}

TEST_F(ToastManagerTest, AToastShownDuringTheFadeKeepsItsTextForItsWholeDuration)
{
    toast.show(QStringLiteral("First"));
    scheduler.advance(1.8 + 0.25);
    EXPECT_FALSE(toast.isShowing());
    toast.show(QStringLiteral("Second"));
    scheduler.advance(1.0);
    EXPECT_EQ(toast.message(), QStringLiteral("Second"));
    EXPECT_TRUE(toast.isShowing());
}
