#include "Services/AchievementListing.h"
#include "Models/Stats.h"
#include "Models/UserData.h"
#include "Services/AchievementArt.h"
#include "Services/AchievementCatalog.h"
#include "Services/AchievementTexts.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace AchievementListing;

namespace {

const Achievement& byId(const char* id)
{
    return *AchievementCatalog::find(QString::fromLatin1(id));
}

QDateTime day(int n)
{
    return QDateTime(QDate(2026, 1, n), QTime(9, 0));
}

QStringList ids(const QList<Unlock>& unlocks)
{
    QStringList result;
    for (const Unlock& u : unlocks)
        result.append(u.achievement.id);
    return result;
}

} // namespace

TEST(AchievementArt, HashIsStableAndWrapsIntoRange)
{
    EXPECT_EQ(AchievementArt::hashIdx(u"abc", 3), 0);
    EXPECT_EQ(AchievementArt::hashIdx(u"abc", 1000), 354);
    EXPECT_EQ(AchievementArt::hashIdx(u"volume_1", 3), 2);
    EXPECT_EQ(AchievementArt::hashIdx(u"volume_1", 1000), 652);
    EXPECT_EQ(AchievementArt::hashIdx(u"", 3), 0);
    EXPECT_EQ(AchievementArt::hashIdx(u"volume_1", 1), 0);
}

TEST(AchievementArt, PaletteFollowsTheHashAndEndsInItsBase)
{
    const AchievementArt::Palette bronze = AchievementArt::palette(AchievementTier::bronze, QStringLiteral("volume_1"));
    EXPECT_EQ(bronze.blobs.first().color, QStringLiteral("#ff8a4a")); // the third arrangement
    EXPECT_EQ(bronze.base, QStringLiteral("#ffae7c"));
    for (AchievementTier tier :
        {AchievementTier::bronze, AchievementTier::silver, AchievementTier::gold, AchievementTier::platinum})
        EXPECT_EQ(AchievementArt::variations(tier).size(), 3);
    EXPECT_EQ(AchievementArt::palette(AchievementTier::hidden, QStringLiteral("anything")).blobs.size(), 1);
}

TEST(AchievementArt, EveryCatalogIconHasItsOwnSymbolAndOthersATrophy)
{
    for (const Achievement& a : AchievementCatalog::all()) {
        if (a.icon != QLatin1String("trophy")) {
            EXPECT_NE(AchievementArt::sfSymbol(a.icon), QStringLiteral("trophy.fill")) << qPrintable(a.icon);
        }
    }
    EXPECT_EQ(AchievementArt::sfSymbol(QStringLiteral("rocket-launch")), QStringLiteral("paperplane.fill"));
    EXPECT_EQ(AchievementArt::sfSymbol(QStringLiteral("Rocket-Launch")), QStringLiteral("trophy.fill"));
    EXPECT_EQ(AchievementArt::sfSymbol(QString()), QStringLiteral("trophy.fill"));
}

TEST(AchievementListing, CountsAndLatestIgnoreIdsOutsideTheCatalog)
{
    Stats stats = Stats::empty();
    EXPECT_EQ(unlockedCount(stats), 0);
    EXPECT_FALSE(latestUnlock(stats));

    stats.unlocked.insert(QStringLiteral("retired_badge"), day(20));
    EXPECT_EQ(unlockedCount(stats), 0);
    EXPECT_FALSE(latestUnlock(stats));

    stats.unlocked.insert(QStringLiteral("volume_1"), day(2));
    stats.unlocked.insert(QStringLiteral("time_1h"), day(5));
    stats.unlocked.insert(QStringLiteral("folder_first"), day(3));
    EXPECT_EQ(unlockedCount(stats), 3);
    EXPECT_EQ(latestUnlock(stats)->achievement.id, QStringLiteral("time_1h"));
}

TEST(AchievementListing, RecentListHoldsTheFiveNewestNewestFirst)
{
    Stats stats = Stats::empty();
    const char* order[]
        = {"volume_1", "volume_100", "time_1h", "library_first", "library_5", "folder_first", "streak_3"};
    for (int i = 0; i < 7; ++i)
        stats.unlocked.insert(QString::fromLatin1(order[i]), day(i + 1));
    EXPECT_EQ(ids(recentlyUnlocked(stats)),
        QStringList({"streak_3", "folder_first", "library_5", "library_first", "time_1h"}));
    EXPECT_TRUE(recentlyUnlocked(Stats::empty()).isEmpty());
}

TEST(AchievementListing, SectionsFollowCategoryOrderAndTheFilter)
{
    Stats stats = Stats::empty();
    stats.unlocked.insert(QStringLiteral("volume_1"), day(1));
    stats.unlocked.insert(QStringLiteral("egg_sig"), day(1));

    const QList<Section> all = sections(stats, Filter::all);
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all[1].title, QStringLiteral("Time saved"));
    EXPECT_EQ(all[7].id, QStringLiteral("hidden"));
    EXPECT_EQ(all[7].items.size(), 5);

    const QList<Section> unlocked = sections(stats, Filter::unlocked);
    ASSERT_EQ(unlocked.size(), 2);
    EXPECT_EQ(unlocked[0].items.size(), 1);
    EXPECT_EQ(unlocked[1].items.first().id, QStringLiteral("egg_sig"));

    EXPECT_EQ(sections(stats, Filter::locked)[0].items.size(), 4);
    EXPECT_TRUE(sections(Stats::empty(), Filter::unlocked).isEmpty());
}

TEST(AchievementListing, StoredFilterTextsOtherThanTheThreeMeanAll)
{
    EXPECT_EQ(filterFromRaw(QStringLiteral("unlocked")), Filter::unlocked);
    EXPECT_EQ(filterFromRaw(QStringLiteral("locked")), Filter::locked);
    EXPECT_EQ(filterFromRaw(QStringLiteral("Locked")), Filter::all);
    EXPECT_EQ(filterFromRaw(QString()), Filter::all);
}

TEST(AchievementListing, ProgressOfTimeAchievementsSurvivesADamagedTotal)
{
    Stats stats = Stats::empty();
    const UserData library = UserData::empty();
    stats.totalTimeSaved = 1e300;
    EXPECT_EQ(progress(byId("time_1h"), stats, library), (AchievementProgress{3600, 3600}));
    stats.totalTimeSaved = std::numeric_limits<double>::infinity();
    EXPECT_EQ(progress(byId("time_1h"), stats, library), (AchievementProgress{0, 3600}));
    stats.totalTimeSaved = std::nan("");
    EXPECT_EQ(progress(byId("time_1h"), stats, library), (AchievementProgress{0, 3600}));
    stats.totalTimeSaved = 3599.9;
    EXPECT_EQ(progress(byId("time_1h"), stats, library), (AchievementProgress{3599, 3600}));
    EXPECT_FALSE(progress(byId("custom_color"), stats, library));
}

TEST(AchievementListing, BarFractionIsClampedAndEmptyWithoutATarget)
{
    EXPECT_DOUBLE_EQ(fraction({37, 100}), 0.37);
    EXPECT_DOUBLE_EQ(fraction({7, 5}), 1.0);
    EXPECT_DOUBLE_EQ(fraction({3, 0}), 0.0);
}

TEST(AchievementTexts, LockedHiddenAchievementsKeepTheirWordsToThemselves)
{
    const Achievement& burst = byId("egg_burst");
    EXPECT_EQ(AchievementTexts::title(burst, std::nullopt), QStringLiteral("???"));
    EXPECT_EQ(AchievementTexts::tierLabel(burst, std::nullopt), QStringLiteral("Hidden"));
    EXPECT_FALSE(AchievementTexts::cardTooltip(burst, std::nullopt).contains(QStringLiteral("expansions")));
    EXPECT_EQ(AchievementTexts::title(burst, day(1)), QStringLiteral("Quick Draw"));

    const Achievement& gold = byId("volume_10k");
    EXPECT_EQ(AchievementTexts::tierLabel(gold, std::nullopt).toUpper(), QStringLiteral("LOCKED \u00b7 GOLD"));
    EXPECT_EQ(AchievementTexts::metaLine(gold, std::nullopt), QStringLiteral("Locked"));
    EXPECT_TRUE(AchievementTexts::metaLine(gold, day(5)).startsWith(QStringLiteral("Unlocked ")));
    EXPECT_TRUE(AchievementTexts::cardStatus(gold, day(5)).startsWith(QStringLiteral("Received ")));
}
