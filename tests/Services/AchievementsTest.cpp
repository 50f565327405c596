#include "ManualClock.h"
#include "Models/Stats.h"
#include "Models/UserData.h"
#include "Services/AchievementCatalog.h"
#include "Services/AchievementEngine.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {
const Achievement& byId(const char* id)
{
    const Achievement* a = AchievementCatalog::find(QString::fromUtf8(id));
    if (!a)
        throw std::runtime_error(id);
    return *a;
}

bool met(const char* id, const Stats& s, const UserData& d)
{
    return byId(id).isUnlocked(s, d);
}

std::optional<AchievementProgress> progress(const char* id, const Stats& s, const UserData& d)
{
    const Achievement& a = byId(id);
    return a.progress ? a.progress(s, d) : std::nullopt;
}

Shortcut shortcut(const QString& trigger)
{
    static int n = 0;
    Shortcut s;
    s.id = QStringLiteral("S%1").arg(++n);
    s.trigger = trigger;
    s.expansion = QStringLiteral("text");
    return s;
}

Group folder(const QString& id, std::optional<QString> parent = std::nullopt)
{
    Group g;
    g.id = id;
    g.name = id;
    g.parentGroupId = std::move(parent);
    return g;
}

QStringList ids(const QList<Achievement>& list)
{
    QStringList out;
    for (const Achievement& a : list)
        out << a.id;
    return out;
}
} // namespace

TEST(AchievementCatalog, HoldsThirtyThreeUniqueEntriesInCategoryOrder)
{
    const auto& all = AchievementCatalog::all();
    ASSERT_EQ(all.size(), 33);
    QSet<QString> seen;
    for (const Achievement& a : all)
        seen.insert(a.id);
    EXPECT_EQ(seen.size(), 33);
    EXPECT_EQ(all.first().id, QStringLiteral("volume_1"));
    EXPECT_EQ(all.last().id, QStringLiteral("egg_speed_run"));
    const QList<qsizetype> sizes{AchievementCatalog::volume().size(), AchievementCatalog::time().size(),
        AchievementCatalog::library().size(), AchievementCatalog::folder().size(),
        AchievementCatalog::customization().size(), AchievementCatalog::streak().size(),
        AchievementCatalog::discovery().size(), AchievementCatalog::hidden().size()};
    EXPECT_EQ(sizes, QList<qsizetype>({5, 4, 4, 3, 3, 4, 5, 5}));
    EXPECT_EQ(byId("time_1d").description, QStringLiteral("Saved eight hours of typing \u2014 about a workday."));
    EXPECT_EQ(byId("discovery_search").description, QStringLiteral("Used Ctrl+F to filter the shortcut list."));
    for (const Achievement& a : AchievementCatalog::hidden())
        EXPECT_NE(a.tier, AchievementTier::hidden);
}

TEST(AchievementCatalog, RawValuesAreExact)
{
    EXPECT_EQ(achievementTier(QStringLiteral("gold")), AchievementTier::gold);
    EXPECT_FALSE(achievementTier(QStringLiteral("Gold")));
    EXPECT_EQ(achievementCategory(QStringLiteral("customization")), AchievementCategory::customization);
    EXPECT_FALSE(achievementCategory(QStringLiteral("Volume")));
    EXPECT_FALSE(achievementCategory(QStringLiteral("")));
}

TEST(AchievementCatalog, FreshDataMeetNothingAndReportZeroProgress)
{
    ManualClock clock;
    const Stats stats = Stats::empty();
    const UserData data = UserData::empty();
    for (const Achievement& a : AchievementCatalog::all()) {
        EXPECT_FALSE(a.isUnlocked(stats, data)) << a.id.toStdString();
        if (a.progress) {
            const auto p = a.progress(stats, data);
            ASSERT_TRUE(p);
            EXPECT_EQ(p->current, 0) << a.id.toStdString();
        }
    }
    EXPECT_EQ(data.deepestFolderDepth(), 0);
}

TEST(AchievementCatalog, CountersThresholdsAndCappedProgress)
{
    Stats s = Stats::empty();
    const UserData d = UserData::empty();
    s.totalExpansions = 100;
    EXPECT_TRUE(met("volume_1", s, d));
    EXPECT_TRUE(met("volume_100", s, d));
    EXPECT_EQ(progress("volume_1k", s, d), (AchievementProgress{100, 1000}));
    EXPECT_EQ(progress("volume_1", s, d), (AchievementProgress{1, 1}));

    s.totalTimeSaved = 3600.0;
    EXPECT_TRUE(met("time_1h", s, d));
    s.totalTimeSaved = 3599.99;
    EXPECT_FALSE(met("time_1h", s, d));
    EXPECT_EQ(progress("time_1h", s, d), (AchievementProgress{3599, 3600}));

    s.streak.current = 2;
    s.streak.longest = 3;
    EXPECT_TRUE(met("streak_3", s, d));
    EXPECT_EQ(progress("streak_3", s, d), (AchievementProgress{3, 3}));
    EXPECT_EQ(progress("streak_7", s, d), (AchievementProgress{3, 7}));
}

TEST(AchievementCatalog, FolderDepthFollowsParentsAndStopsAtMissingOnes)
{
    UserData d = UserData::empty();
    d.groups = {folder("A"), folder("B", "A"), folder("C", "B")};
    EXPECT_EQ(d.deepestFolderDepth(), 3);
    EXPECT_TRUE(met("folder_nested_3", Stats::empty(), d));
    d.groups.append(folder("D", "nowhere"));
    EXPECT_EQ(d.deepestFolderDepth(), 3);
    // A cycle ends instead of recursing forever.
    d.groups = {folder("X", "Y"), folder("Y", "X")};
    EXPECT_EQ(d.deepestFolderDepth(), 2);
}

TEST(AchievementCatalog, CustomisationRules)
{
    UserData d = UserData::empty();
    Group g = folder("A");
    g.color = QString();
    d.groups = {g};
    EXPECT_FALSE(met("custom_color", Stats::empty(), d));
    d.groups[0].color = QStringLiteral("#E2725B");
    EXPECT_TRUE(met("custom_color", Stats::empty(), d));
    for (int i = 0; i < 4; ++i)
        d.customIcons.append(CustomIcon{QStringLiteral("I%1").arg(i), QStringLiteral("i"), QStringLiteral("<svg/>")});
    EXPECT_TRUE(met("custom_icon", Stats::empty(), d));
    EXPECT_EQ(progress("custom_5_icons", Stats::empty(), d), (AchievementProgress{4, 5}));
}

TEST(AchievementCatalog, HiddenRules)
{
    ManualClock clock(QDateTime(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC));
    UserData d = UserData::empty();
    d.shortcuts = {shortcut(QStringLiteral("/Sig")), shortcut(QStringLiteral("/sig "))};
    EXPECT_FALSE(met("egg_sig", Stats::empty(), d));
    d.shortcuts.append(shortcut(QStringLiteral("/sig")));
    EXPECT_TRUE(met("egg_sig", Stats::empty(), d));

    Stats s = Stats::empty();
    for (int ago : {59, 50, 30, 10, 1})
        s.recentExpansionTimestamps.append(clock.now().addSecs(-ago));
    EXPECT_TRUE(met("egg_burst", s, d));
    s.recentExpansionTimestamps[0] = clock.now().addSecs(-61);
    EXPECT_FALSE(met("egg_burst", s, d));

    const QTimeZone berlin("Europe/Berlin");
    clock.setTimeZone(berlin);
    Stats night = Stats::empty();
    night.recentExpansionTimestamps = {QDateTime(QDate(2025, 3, 1), QTime(3, 59), berlin)};
    EXPECT_TRUE(met("egg_night_owl", night, d));
    night.recentExpansionTimestamps
        = {QDateTime(QDate(2025, 3, 1), QTime(4, 0), berlin), QDateTime(QDate(2025, 3, 1), QTime(1, 59), berlin)};
    EXPECT_FALSE(met("egg_night_owl", night, d));

    Stats speed = Stats::empty();
    speed.dailyBuckets.insert(QStringLiteral("2020-01-01"), 100);
    EXPECT_TRUE(met("egg_speed_run", speed, d));
}

TEST(AchievementEngine, EvaluatesOnlyUnstampedAchievementsInCatalogOrder)
{
    ManualClock clock;
    Stats s = Stats::empty();
    UserData d = UserData::empty();
    for (int i = 0; i < 12; ++i)
        d.groups.append(folder(QStringLiteral("G%1").arg(i)));
    for (int i = 0; i < 30; ++i)
        d.shortcuts.append(shortcut(QStringLiteral("/t%1").arg(i)));
    EXPECT_EQ(ids(AchievementEngine::evaluate(s, d)),
        QStringList({"library_first", "library_5", "library_25", "folder_first", "folder_10"}));

    s.totalExpansions = 5;
    const QDateTime earlier = clock.now().addDays(-3);
    s.unlocked[QStringLiteral("volume_1")] = earlier;
    s.unlocked[QStringLiteral("retired_achievement")] = earlier;
    const auto newly = AchievementEngine::evaluate(s, UserData::empty());
    EXPECT_TRUE(newly.isEmpty());
    EXPECT_EQ(s.unlocked.value(QStringLiteral("volume_1")), earlier);
}

// After an expansion only the statistics changed: the tests marked as not reading the library
// must give the same answer for any library, and every other must be skipped then.
TEST(AchievementEngine, TestsNotMarkedAsReadingTheLibraryIgnoreItAndAreAllThatRunWhenItIsKnown)
{
    ManualClock clock;
    Stats s = Stats::empty();
    UserData full = UserData::empty();
    for (int i = 0; i < 101; ++i)
        full.shortcuts.append(shortcut(i == 0 ? QStringLiteral("/sig") : QStringLiteral("/t%1").arg(i)));
    full.groups = {folder("A"), folder("B", "A"), folder("C", "B")};
    for (int i = 3; i < 10; ++i)
        full.groups.append(folder(QStringLiteral("G%1").arg(i)));
    full.groups[0].color = QStringLiteral("red");
    for (int i = 0; i < 5; ++i)
        full.customIcons.append(
            CustomIcon{QStringLiteral("I%1").arg(i), QStringLiteral("icon"), QStringLiteral("<svg/>")});
    QStringList readingLibrary;
    for (const Achievement& a : AchievementCatalog::all()) {
        if (a.readsLibrary)
            readingLibrary << a.id;
        else
            EXPECT_EQ(a.isUnlocked(s, full), a.isUnlocked(s, UserData::empty())) << a.id.toStdString();
    }
    EXPECT_EQ(ids(AchievementEngine::evaluate(s, full)), readingLibrary);
    EXPECT_TRUE(AchievementEngine::evaluate(s, full, true).isEmpty());

    s.totalExpansions = 1;
    EXPECT_EQ(ids(AchievementEngine::evaluate(s, full, true)), QStringList{"volume_1"});
}

TEST(AchievementEngine, BackfillStampsOnceWithOneDateAndTheMigrationFlag)
{
    ManualClock clock;
    Stats s = Stats::empty();
    s.totalExpansions = 120;
    AchievementEngine::backfillIfNeeded(s, UserData::empty());
    EXPECT_EQ(s.unlocked.size(), 2);
    EXPECT_EQ(s.unlocked.value(QStringLiteral("volume_1")), clock.now());
    EXPECT_EQ(s.unlocked.value(QStringLiteral("volume_100")), clock.now());
    EXPECT_TRUE(s.firstUseFlags.contains(AchievementEngine::migrationFlag));

    s.totalExpansions = 2000;
    clock.advance(60);
    AchievementEngine::backfillIfNeeded(s, UserData::empty());
    EXPECT_FALSE(s.unlocked.contains(QStringLiteral("volume_1k")));

    Stats empty = Stats::empty();
    AchievementEngine::backfillIfNeeded(empty, UserData::empty());
    EXPECT_TRUE(empty.unlocked.isEmpty());
    EXPECT_TRUE(empty.firstUseFlags.contains(AchievementEngine::migrationFlag));
}

TEST(Achievement, EqualityAndHashingGoByIdAlone)
{
    Achievement a = byId("volume_1");
    Achievement b = a;
    b.name = QStringLiteral("Other");
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
}
