#include "ModelTestSupport.h"
#include "Models/PerShortcutStats.h"

namespace {
QString idNumber(int n)
{
    return QStringLiteral("S%1").arg(n, 4, 10, QLatin1Char('0'));
}
} // namespace

// The kept copies (what a failed write puts back, what is on its way to the disk) must not see
// later expansions, whichever small map an id falls in.
TEST(PerShortcutStats, aCopyKeepsItsCountsWhileTheOriginalGoesOn)
{
    PerShortcutStats current;
    for (int n = 0; n < 1000; ++n)
        current.insert(idNumber(n), PerShortcutStat{n, {}, {}});
    const PerShortcutStats kept = current;

    for (int n = 0; n < 1000; n += 7)
        current[idNumber(n)].count += 100;
    current.find(idNumber(1))->count = -1;
    current[QStringLiteral("new")].count = 1;

    EXPECT_EQ(kept.size(), 1000);
    EXPECT_FALSE(kept.contains(QStringLiteral("new")));
    for (int n = 0; n < 1000; ++n)
        ASSERT_EQ(kept.value(idNumber(n)).count, n) << n;
    EXPECT_EQ(current.size(), 1001);
    EXPECT_EQ(current.value(idNumber(7)).count, 107);
    EXPECT_EQ(current.value(idNumber(1)).count, -1);
}

TEST(PerShortcutStats, entriesComeOutInIdOrderAndAnEntryIsCountedOnce)
{
    QMap<QString, PerShortcutStat> byId;
    for (int n = 999; n >= 0; n -= 3)
        byId.insert(idNumber(n), PerShortcutStat{n, {}, {}});
    PerShortcutStats stats(byId);
    stats.insert(idNumber(999), PerShortcutStat{5, {}, {}});
    stats[idNumber(0)];

    EXPECT_EQ(stats.size(), byId.size());
    EXPECT_EQ(stats.keys(), byId.keys());
    const QMap<QString, PerShortcutStat> back = stats.toMap();
    ASSERT_EQ(back.keys(), byId.keys());
    EXPECT_EQ(back.value(idNumber(999)).count, 5);
    EXPECT_EQ(back.value(idNumber(3)).count, 3);
    EXPECT_EQ(stats.find(QStringLiteral("missing")), nullptr);
    EXPECT_TRUE(PerShortcutStats().keys().isEmpty());
}
