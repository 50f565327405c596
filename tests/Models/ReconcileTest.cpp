#include "ModelTestSupport.h"
#include "Models/SyncSnapshot.h"

#include <cmath>
#include <limits>

namespace {

Shortcut shortcut(const QString& id, const QString& trigger, qint64 order)
{
    return Shortcut{id, trigger, QStringLiteral("text of ") + trigger, std::nullopt, order, std::nullopt};
}

// Three distinct versions of each component.
UserData library(int version)
{
    UserData d;
    d.shortcuts = {shortcut(QStringLiteral("S1"), QStringLiteral("/a"), 0),
        shortcut(QStringLiteral("S2"), QStringLiteral("/b"), 1)};
    if (version >= 1)
        d.shortcuts.append(shortcut(QStringLiteral("S3"), QStringLiteral("/c"), 2));
    if (version >= 2)
        d.shortcuts[0].expansion = QStringLiteral("changed");
    return d;
}

AppSettings settings(int version)
{
    AppSettings s;
    s.theme = QStringList{QStringLiteral("system"), QStringLiteral("dark"), QStringLiteral("light")}[version];
    return s;
}

Stats stats(int version)
{
    Stats s;
    s.totalExpansions = version * 10;
    s.firstUseFlags = {QStringLiteral("search")};
    return s;
}

SyncSnapshot snapshot(int data, int prefs, int numbers)
{
    return SyncSnapshot{library(data), settings(prefs), stats(numbers)};
}

// Byte-for-byte identity, array order included.
::testing::AssertionResult isExactly(const std::optional<SyncSnapshot>& result, const SyncSnapshot& expected)
{
    if (!result)
        return ::testing::AssertionFailure() << "the merge gave nothing";
    if (VelmoraJSON::encode(*result) == VelmoraJSON::encode(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got\n" << VelmoraJSON::encode(*result).constData();
}

template <class T> void reverse(QList<T>& list)
{
    std::reverse(list.begin(), list.end());
}

// One row per rule: the versions of base, local and cloud, and which side is taken.
enum class Taken { local, cloud, conflict };
struct Rule {
    const char* name;
    int base, local, cloud;
    Taken taken;
};
const Rule kRules[] = {
    {"both sides agree", 0, 1, 1, Taken::local},
    {"nothing changed", 0, 0, 0, Taken::local},
    {"only the cloud changed", 0, 0, 1, Taken::cloud},
    {"only this computer changed", 0, 1, 0, Taken::local},
    {"both changed differently", 0, 1, 2, Taken::conflict},
};

// Runs every rule on one component (0 library, 1 settings, 2 statistics) while the other
// two stay unchanged.
void checkComponent(int component)
{
    auto make = [component](int version) {
        return snapshot(component == 0 ? version : 0, component == 1 ? version : 0, component == 2 ? version : 0);
    };
    for (const Rule& rule : kRules) {
        const SyncSnapshot local = make(rule.local);
        const SyncSnapshot cloud = make(rule.cloud);
        const auto merged = SyncSnapshot::reconcile(make(rule.base), local, cloud);
        switch (rule.taken) {
        case Taken::local: EXPECT_TRUE(isExactly(merged, local)) << rule.name; break;
        case Taken::cloud: EXPECT_TRUE(isExactly(merged, cloud)) << rule.name; break;
        case Taken::conflict: EXPECT_FALSE(merged) << rule.name; break;
        }
    }
}

} // namespace

TEST(Reconcile, LibraryFollowsTheFourRules)
{
    checkComponent(0);
}

TEST(Reconcile, SettingsFollowTheFourRules)
{
    checkComponent(1);
}

TEST(Reconcile, StatisticsFollowTheFourRules)
{
    checkComponent(2);
}

TEST(Reconcile, EachComponentTakesItsOwnChangedSide)
{
    const SyncSnapshot base = snapshot(0, 0, 0);
    const SyncSnapshot local = snapshot(0, 1, 1);
    const SyncSnapshot cloud = snapshot(1, 0, 0);
    EXPECT_TRUE(isExactly(SyncSnapshot::reconcile(base, local, cloud), snapshot(1, 1, 1)));
}

TEST(Reconcile, AConflictInOneComponentGivesNothingWhateverTheOthers)
{
    const SyncSnapshot base = snapshot(0, 0, 0);
    EXPECT_FALSE(SyncSnapshot::reconcile(base, snapshot(1, 0, 0), snapshot(2, 0, 1)));
    EXPECT_FALSE(SyncSnapshot::reconcile(base, snapshot(1, 1, 0), snapshot(1, 2, 0)));
    EXPECT_FALSE(SyncSnapshot::reconcile(base, snapshot(0, 1, 1), snapshot(1, 1, 2)));
}

TEST(Reconcile, LocalReorderingCountsAsUnchangedAndTheCloudsOrderIsTaken)
{
    const SyncSnapshot base = snapshot(1, 0, 0);
    SyncSnapshot local = base;
    reverse(local.data.shortcuts);
    SyncSnapshot cloud = snapshot(2, 0, 0);
    reverse(cloud.data.shortcuts);
    std::rotate(cloud.data.shortcuts.begin(), cloud.data.shortcuts.begin() + 1, cloud.data.shortcuts.end());
    EXPECT_TRUE(isExactly(SyncSnapshot::reconcile(base, local, cloud), cloud));
}

TEST(Reconcile, SidesThatDifferOnlyInArrayOrderAgreeAndLocalOrderIsKept)
{
    const SyncSnapshot base = snapshot(0, 0, 0);
    SyncSnapshot local = snapshot(1, 0, 0);
    SyncSnapshot cloud = local;
    reverse(local.data.shortcuts);
    EXPECT_TRUE(isExactly(SyncSnapshot::reconcile(base, local, cloud), local));
}

TEST(Reconcile, ChangedOrderValuesAreARealChange)
{
    const SyncSnapshot base = snapshot(1, 0, 0);
    SyncSnapshot local = base;
    local.data.shortcuts[0].order = 7;
    const SyncSnapshot cloud = snapshot(2, 0, 0);
    EXPECT_FALSE(SyncSnapshot::reconcile(base, local, cloud));
}

TEST(Reconcile, FlagSetOrderAloneIsNoChange)
{
    SyncSnapshot base = snapshot(0, 0, 0);
    SyncSnapshot local = base;
    base.stats.firstUseFlags.clear();
    local.stats.firstUseFlags.clear();
    for (int i = 0; i < 64; ++i) {
        base.stats.firstUseFlags.insert(QStringLiteral("flag%1").arg(i));
        local.stats.firstUseFlags.insert(QStringLiteral("flag%1").arg(63 - i));
    }
    SyncSnapshot cloud = base;
    cloud.stats.totalExpansions = 99;
    EXPECT_TRUE(isExactly(SyncSnapshot::reconcile(base, local, cloud), cloud));
}

TEST(Reconcile, UnencodableLocalStatisticsWinOnlyOverAnUnchangedCloud)
{
    const SyncSnapshot base = snapshot(0, 0, 0);
    SyncSnapshot local = base;
    local.stats.totalTimeSaved = std::numeric_limits<double>::infinity();
    const auto merged = SyncSnapshot::reconcile(base, local, base);
    ASSERT_TRUE(merged);
    EXPECT_TRUE(std::isinf(merged->stats.totalTimeSaved));
    EXPECT_FALSE(SyncSnapshot::reconcile(base, local, snapshot(0, 0, 1)));
}

TEST(Reconcile, ArgumentsAreLeftUntouched)
{
    const SyncSnapshot base = snapshot(0, 0, 0);
    SyncSnapshot local = snapshot(1, 0, 0);
    reverse(local.data.shortcuts);
    const SyncSnapshot cloud = snapshot(0, 1, 0);
    const QByteArray before = VelmoraJSON::encode(local);
    const auto merged = SyncSnapshot::reconcile(base, local, cloud);
    ASSERT_TRUE(merged);
    EXPECT_EQ(VelmoraJSON::encode(local), before);
    EXPECT_EQ(merged->settings.theme, QStringLiteral("dark"));
    EXPECT_EQ(merged->data.shortcuts.first().id, QStringLiteral("S3"));
}
