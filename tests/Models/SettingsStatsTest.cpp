#include "ModelTestSupport.h"
#include "Models/AppSettings.h"
#include "Models/Stats.h"

#include <limits>

namespace {
QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

Stats busyStats()
{
    Stats s;
    s.totalTimeSaved = 12.5;
    s.totalExpansions = 7;
    s.totalCharsSaved = 140;
    s.perShortcut.insert(
        QStringLiteral("S1"), PerShortcutStat{7, utc(2025, 3, 1, 9, 0, 0, 1), utc(2025, 3, 2, 9, 0, 0)});
    s.dailyBuckets.insert(QStringLiteral("2025-03-02"), 4);
    s.dailyBuckets.insert(QStringLiteral("2025-03-01"), 3);
    s.firstUseFlags = {QStringLiteral("search"), QStringLiteral("achievements_migration_v1"), QStringLiteral("copy")};
    s.streak = StreakState{2, 5, QStringLiteral("2025-03-02")};
    s.unlocked.insert(QStringLiteral("first_expansion"), utc(2025, 3, 1, 9, 0, 0, 250));
    s.recentExpansionTimestamps = {utc(2025, 3, 1, 9, 0, 0), utc(2025, 3, 2, 9, 0, 0, 999)};
    s.resetBaselines.insert(QStringLiteral("weekly"), 3);
    return s;
}
} // namespace

// ------------------------------------------------------------------ settings

TEST(SettingsReading, EmptyObjectIsTheDefaultsAndWritesAllNineKeys)
{
    const AppSettings s = VelmoraJSON::decode<AppSettings>("{}");
    EXPECT_FALSE(s.expandText);
    EXPECT_TRUE(s.confirmDelete);
    EXPECT_TRUE(s.copyOnClick);
    EXPECT_EQ(s.theme, QStringLiteral("system"));
    EXPECT_FALSE(s.fullHeight);
    EXPECT_TRUE(s.showTimeSavedAnimation);
    EXPECT_TRUE(s.showDropdown);
    EXPECT_TRUE(s.showAchievementToast);
    EXPECT_FALSE(s.launchAtLogin);
    EXPECT_EQ(VelmoraJSON::encode(s), VelmoraJSON::encode(AppSettings::defaults()));
    EXPECT_EQ(s.toJson().toObject().size(), 9);
}

TEST(SettingsReading, NullTakesTheDefault)
{
    const AppSettings s = VelmoraJSON::decode<AppSettings>(R"({"theme":null,"confirmDelete":null,"fullHeight":true})");
    EXPECT_EQ(s.theme, QStringLiteral("system"));
    EXPECT_TRUE(s.confirmDelete);
    EXPECT_TRUE(s.fullHeight);
}

TEST(SettingsReading, WrongTypeFailsTheRecord)
{
    EXPECT_EQ(readFailurePath<AppSettings>(R"({"theme":2})"), QStringLiteral("theme"));
    EXPECT_EQ(readFailurePath<AppSettings>(R"({"launchAtLogin":"true"})"), QStringLiteral("launchAtLogin"));
    EXPECT_EQ(readFailurePath<AppSettings>("[]"), QString());
}

TEST(SettingsReading, UnknownThemeIsKeptAsItStands)
{
    const AppSettings s = VelmoraJSON::decode<AppSettings>(R"({"theme":"sepia","future":1})");
    EXPECT_EQ(s.theme, QStringLiteral("sepia"));
    EXPECT_TRUE(roundTripsByteForByte(s));
}

TEST(SettingsWriting, EveryFieldRoundTrips)
{
    AppSettings s;
    s.expandText = true;
    s.confirmDelete = false;
    s.copyOnClick = false;
    s.theme = QStringLiteral("dark");
    s.fullHeight = true;
    s.showTimeSavedAnimation = false;
    s.showDropdown = false;
    s.showAchievementToast = false;
    s.launchAtLogin = true;
    EXPECT_TRUE(roundTripsByteForByte(s));
    const QByteArray bytes = VelmoraJSON::encode(s);
    EXPECT_NE(bytes, VelmoraJSON::encode(AppSettings::defaults()));
    EXPECT_EQ(bytes, VelmoraJSON::encode(VelmoraJSON::decode<AppSettings>(bytes)));
}

// ------------------------------------------------------------------ statistics

TEST(StatsReading, EmptyObjectIsEmptyStatsAndWritesAllTenKeys)
{
    const Stats s = VelmoraJSON::decode<Stats>("{}");
    EXPECT_EQ(s.totalTimeSaved, 0);
    EXPECT_EQ(s.totalExpansions, 0);
    EXPECT_TRUE(s.perShortcut.isEmpty() && s.dailyBuckets.isEmpty() && s.firstUseFlags.isEmpty());
    EXPECT_EQ(s.streak.current, 0);
    EXPECT_EQ(s.streak.longest, 0);
    EXPECT_FALSE(s.streak.lastDay);
    const QJsonObject o = s.toJson().toObject();
    EXPECT_EQ(o.size(), 10);
    EXPECT_EQ(o.value(QStringLiteral("perShortcut")), QJsonObject());
    EXPECT_EQ(o.value(QStringLiteral("firstUseFlags")), QJsonArray());
    EXPECT_EQ(o.value(QStringLiteral("recentExpansionTimestamps")), QJsonArray());
    EXPECT_EQ(VelmoraJSON::encode(s), VelmoraJSON::encode(Stats::empty()));
}

TEST(StatsReading, StreakNeedsCurrentAndLongestWhenPresent)
{
    EXPECT_EQ(readFailurePath<Stats>(R"({"streak":{"current":3}})"), QStringLiteral("streak"));
    const Stats s = VelmoraJSON::decode<Stats>(R"({"totalExpansions":3,"streak":null})");
    EXPECT_EQ(s.streak.current, 0);
    EXPECT_EQ(s.totalExpansions, 3);
}

TEST(StatsReading, PerShortcutEntryNeedsBothDates)
{
    EXPECT_EQ(readFailurePath<Stats>(R"({"perShortcut":{"S1":{"count":1,"lastUsedAt":0}}})"),
        QStringLiteral("perShortcut.S1"));
}

TEST(StatsReading, WrongTypesFailTheRecord)
{
    EXPECT_EQ(readFailurePath<Stats>(R"({"totalExpansions":"3"})"), QStringLiteral("totalExpansions"));
    EXPECT_EQ(
        readFailurePath<Stats>(R"({"dailyBuckets":{"2025-03-01":1.5}})"), QStringLiteral("dailyBuckets.2025-03-01"));
    EXPECT_EQ(readFailurePath<Stats>(R"({"firstUseFlags":"search"})"), QStringLiteral("firstUseFlags"));
    EXPECT_EQ(readFailurePath<Stats>(R"({"unlocked":{"a":"yesterday"}})"), QStringLiteral("unlocked.a"));
    EXPECT_EQ(readFailurePath<Stats>(R"({"recentExpansionTimestamps":[0,true]})"),
        QStringLiteral("recentExpansionTimestamps[1]"));
}

TEST(StatsReading, NoValidationBeyondTypes)
{
    const Stats s = VelmoraJSON::decode<Stats>(
        R"({"totalExpansions":-4,"dailyBuckets":{"not a day":2},"streak":{"current":-1,"longest":0,"lastDay":"soon"}})");
    EXPECT_EQ(s.totalExpansions, -4);
    EXPECT_EQ(s.dailyBuckets.value(QStringLiteral("not a day")), 2);
    EXPECT_EQ(s.streak.lastDay, QStringLiteral("soon"));
}

TEST(StatsReading, DatesReadInEveryAcceptedForm)
{
    const Stats s = VelmoraJSON::decode<Stats>(
        R"({"unlocked":{"a":0,"b":"2025-03-01T09:30:00Z","c":"2025-03-01T10:30:00.5+01:00"}})");
    EXPECT_EQ(s.unlocked.value(QStringLiteral("a")), utc(2001, 1, 1, 0, 0, 0));
    EXPECT_EQ(s.unlocked.value(QStringLiteral("b")), utc(2025, 3, 1, 9, 30, 0));
    EXPECT_EQ(s.unlocked.value(QStringLiteral("c")), utc(2025, 3, 1, 9, 30, 0, 500));
    const QJsonObject written = s.toJson().toObject().value(QStringLiteral("unlocked")).toObject();
    EXPECT_EQ(written.value(QStringLiteral("b")), QStringLiteral("2025-03-01T09:30:00.000Z"));
}

TEST(StatsWriting, EveryFieldRoundTripsByteForByte)
{
    EXPECT_TRUE(roundTripsByteForByte(busyStats()));
    const Stats back = VelmoraJSON::decode<Stats>(VelmoraJSON::encode(busyStats()));
    EXPECT_EQ(back.firstUseFlags, busyStats().firstUseFlags);
    EXPECT_EQ(back.perShortcut.value(QStringLiteral("S1")).firstUsedAt, utc(2025, 3, 1, 9, 0, 0, 1));
    EXPECT_EQ(back.recentExpansionTimestamps, busyStats().recentExpansionTimestamps);
    EXPECT_EQ(back.resetBaselines.value(QStringLiteral("weekly")), 3);
}

TEST(StatsWriting, FlagsAreWrittenSortedWhateverTheSetOrder)
{
    Stats a;
    Stats b;
    QStringList flags;
    for (int i = 0; i < 200; ++i)
        flags.append(QStringLiteral("flag-%1").arg(i));
    for (const QString& f : flags)
        a.firstUseFlags.insert(f);
    for (auto it = flags.crbegin(); it != flags.crend(); ++it)
        b.firstUseFlags.insert(*it);
    EXPECT_EQ(VelmoraJSON::encode(a), VelmoraJSON::encode(b));
    const QJsonArray written = a.toJson().toObject().value(QStringLiteral("firstUseFlags")).toArray();
    QStringList sorted = flags;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(written.toVariantList().size(), 200);
    EXPECT_EQ(QJsonArray::fromStringList(sorted), written);
}

TEST(StatsReading, CanonicallyEquivalentKeysAndFlagsCollapse)
{
    const QString composed = QStringLiteral("caf\u00E9");
    const QString decomposed = QStringLiteral("cafe\u0301");
    const QJsonObject json{{QStringLiteral("firstUseFlags"), QJsonArray{composed, decomposed}},
        {QStringLiteral("dailyBuckets"), QJsonObject{{decomposed, 1}}}};
    const Stats s = VelmoraJSON::decode<Stats>(VelmoraJSON::encode(json));
    EXPECT_EQ(s.firstUseFlags, QSet<QString>({composed}));
    EXPECT_EQ(s.dailyBuckets.keys(), QStringList({composed}));
}

TEST(StatsWriting, NonFiniteTimeSavedCannotBeWritten)
{
    Stats s;
    s.totalTimeSaved = std::numeric_limits<double>::infinity();
    EXPECT_THROW(VelmoraJSON::encode(s), EncodingError);
    s.totalTimeSaved = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(VelmoraJSON::encode(s), EncodingError);
}

TEST(StatsWriting, DateTheReaderCouldNotTakeBackIsRefused)
{
    Stats s;
    s.perShortcut.insert(QStringLiteral("S"), PerShortcutStat{1, QDateTime(), utc(2025, 1, 1, 0, 0, 0)});
    EXPECT_THROW(VelmoraJSON::encode(s), EncodingError);
    s.perShortcut[QStringLiteral("S")].firstUsedAt = utc(2025, 1, 1, 0, 0, 0).addYears(8000);
    EXPECT_THROW(VelmoraJSON::encode(s), EncodingError);
}

TEST(StatsReading, DatesThatCouldNotBeWrittenBackAreRefused)
{
    EXPECT_EQ(readFailure<Stats>(R"({"recentExpansionTimestamps":[500000000000]})"),
        QStringLiteral("Invalid date. (at recentExpansionTimestamps[0])"));
    EXPECT_EQ(readFailure<Stats>(R"({"unlocked":{"a":"9999-12-31T23:59:59-01:00"}})"),
        QStringLiteral("Invalid ISO date. (at unlocked.a)"));
    EXPECT_EQ(readFailure<Stats>(R"({"unlocked":{"a":"0001-01-01T00:00:00+01:00"}})"),
        QStringLiteral("Invalid ISO date. (at unlocked.a)"));
    const Stats edge
        = VelmoraJSON::decode<Stats>(R"({"unlocked":{"a":"9999-12-31T23:59:59.999Z","b":"0001-01-01T00:00:00Z"}})");
    EXPECT_TRUE(roundTripsByteForByte(edge));
}

TEST(StreakStateJson, LastDayIsWrittenOnlyWhenPresent)
{
    const StreakState none{3, 4, std::nullopt};
    EXPECT_FALSE(none.toJson().toObject().contains(QStringLiteral("lastDay")));
    const StreakState some{3, 4, QStringLiteral("2025-03-01")};
    EXPECT_TRUE(roundTripsByteForByte(some));
    EXPECT_EQ(VelmoraJSON::decode<StreakState>(VelmoraJSON::encode(some)).lastDay, QStringLiteral("2025-03-01"));
}
