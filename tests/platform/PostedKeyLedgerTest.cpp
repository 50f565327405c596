#include <gtest/gtest.h>

#include "platform/linux/PostedKeyLedger.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

TEST(PostedKeyLedger, postedKeysAreClaimedInOrderWithTheirUserData)
{
    PostedKeyLedger ledger;
    ledger.expect(true, 37, 1);
    ledger.expect(true, 55, 2);
    ledger.expect(false, 55, 2);
    EXPECT_EQ(ledger.claim(true, 37), 1u);
    EXPECT_EQ(ledger.claim(true, 55), 2u);
    EXPECT_EQ(ledger.claim(false, 55), 2u);
    EXPECT_TRUE(ledger.isEmpty());
}

TEST(PostedKeyLedger, aUsersKeyInBetweenStaysUnmarkedAndLeavesTheListAlone)
{
    PostedKeyLedger ledger;
    ledger.expect(true, 55, 9);
    EXPECT_EQ(ledger.claim(true, 38), std::nullopt);
    EXPECT_EQ(ledger.claim(false, 55), std::nullopt);
    EXPECT_EQ(ledger.claim(true, 55), 9u);
}

TEST(PostedKeyLedger, aKeyTheServerIgnoredCanBeForgotten)
{
    PostedKeyLedger ledger;
    ledger.expect(false, 50, 3);
    ledger.expect(true, 37, 3);
    ledger.forget(false, 50);
    EXPECT_EQ(ledger.claim(true, 37), 3u);
}

TEST(PostedKeyLedger, keysThatNeverCameBackAreForgottenAfterTheirLifetime)
{
    PostedKeyLedger ledger;
    QElapsedTimer age;
    age.start();
    ledger.expect(true, 55, 4);
    // The user's keys keep coming back meanwhile; ours is forgotten once its lifetime is over,
    // not before.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            ledger.claim(true, 99);
            return ledger.isEmpty();
        },
        PostedKeyLedger::lifetimeMilliseconds + 5000));
    EXPECT_GE(age.elapsed(), PostedKeyLedger::lifetimeMilliseconds);
    EXPECT_EQ(ledger.claim(true, 55), std::nullopt);
}

}
