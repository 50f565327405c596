#include <gtest/gtest.h>

#include "platform/linux/PostedKeyLedger.h"

#include <QThread>

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
    ledger.expect(true, 55, 4);
    QThread::msleep(PostedKeyLedger::lifetimeMilliseconds + 50);
    EXPECT_EQ(ledger.claim(true, 55), std::nullopt);
    EXPECT_TRUE(ledger.isEmpty());
}

}
