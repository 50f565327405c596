#include "Services/AchievementCatalog.h"

#include "Models/Stats.h"
#include "Models/UserData.h"
#include "Utilities/Clock.h"
#include "Utilities/TimeText.h"

#include <QHash>
#include <QHashFunctions>
#include <QSet>
#include <algorithm>

QString rawValue(AchievementTier tier)
{
    switch (tier) {
    case AchievementTier::bronze: return QStringLiteral("bronze");
    case AchievementTier::silver: return QStringLiteral("silver");
    case AchievementTier::gold: return QStringLiteral("gold");
    case AchievementTier::platinum: return QStringLiteral("platinum");
    case AchievementTier::hidden: return QStringLiteral("hidden");
    }
    return {};
}

QString rawValue(AchievementCategory category)
{
    switch (category) {
    case AchievementCategory::volume: return QStringLiteral("volume");
    case AchievementCategory::time: return QStringLiteral("time");
    case AchievementCategory::library: return QStringLiteral("library");
    case AchievementCategory::folder: return QStringLiteral("folder");
    case AchievementCategory::customization: return QStringLiteral("customization");
    case AchievementCategory::streak: return QStringLiteral("streak");
    case AchievementCategory::discovery: return QStringLiteral("discovery");
    case AchievementCategory::hidden: return QStringLiteral("hidden");
    }
    return {};
}

std::optional<AchievementTier> achievementTier(const QString& raw)
{
    for (AchievementTier t : {AchievementTier::bronze, AchievementTier::silver, AchievementTier::gold,
             AchievementTier::platinum, AchievementTier::hidden}) {
        if (rawValue(t) == raw)
            return t;
    }
    return std::nullopt;
}

const QList<AchievementCategory>& allAchievementCategories()
{
    static const QList<AchievementCategory> all{AchievementCategory::volume, AchievementCategory::time,
        AchievementCategory::library, AchievementCategory::folder, AchievementCategory::customization,
        AchievementCategory::streak, AchievementCategory::discovery, AchievementCategory::hidden};
    return all;
}

std::optional<AchievementCategory> achievementCategory(const QString& raw)
{
    for (AchievementCategory c : allAchievementCategories()) {
        if (rawValue(c) == raw)
            return c;
    }
    return std::nullopt;
}

size_t qHash(const Achievement& achievement, size_t seed)
{
    return qHash(achievement.id, seed);
}

namespace AchievementCatalog {

namespace {
    using T = AchievementTier;
    using C = AchievementCategory;

    AchievementProgress capped(qint64 value, qint64 target)
    {
        return {std::min(value, target), target};
    }

    Achievement make(const char* id, const char* name, const char* desc, T tier, C category, const char* icon,
        Achievement::Test test, Achievement::Progress progress = {})
    {
        return Achievement{QString::fromUtf8(id), QString::fromUtf8(name), QString::fromUtf8(desc), tier, category,
            QString::fromUtf8(icon), std::move(test), std::move(progress), false};
    }

    Achievement readingLibrary(Achievement achievement)
    {
        achievement.readsLibrary = true;
        return achievement;
    }

    Achievement threshold(const char* id, const char* name, const char* desc, T tier, C category, qint64 target,
        const char* icon, qint64 Stats::*stat)
    {
        return make(
            id, name, desc, tier, category, icon, [=](const Stats& s, const UserData&) { return s.*stat >= target; },
            [=](const Stats& s, const UserData&) { return std::optional(capped(s.*stat, target)); });
    }

    Achievement timeThreshold(
        const char* id, const char* name, const char* desc, T tier, qint64 seconds, const char* icon)
    {
        return make(
            id, name, desc, tier, C::time, icon,
            [=](const Stats& s, const UserData&) { return s.totalTimeSaved >= double(seconds); },
            [=](const Stats& s, const UserData&) {
                const qint64 whole = TimeText::wholeSeconds(s.totalTimeSaved);
                return std::optional(capped(whole, seconds));
            });
    }

    Achievement libraryThreshold(
        const char* id, const char* name, const char* desc, T tier, qint64 target, const char* icon)
    {
        return readingLibrary(make(
            id, name, desc, tier, C::library, icon,
            [=](const Stats&, const UserData& d) { return d.shortcuts.size() >= target; },
            [=](const Stats&, const UserData& d) { return std::optional(capped(d.shortcuts.size(), target)); }));
    }

    Achievement folderThreshold(
        const char* id, const char* name, const char* desc, T tier, qint64 target, const char* icon)
    {
        return readingLibrary(make(
            id, name, desc, tier, C::folder, icon,
            [=](const Stats&, const UserData& d) { return d.groups.size() >= target; },
            [=](const Stats&, const UserData& d) { return std::optional(capped(d.groups.size(), target)); }));
    }

    Achievement streakThreshold(
        const char* id, const char* name, const char* desc, T tier, qint64 target, const char* icon)
    {
        return make(
            id, name, desc, tier, C::streak, icon,
            [=](const Stats& s, const UserData&) { return s.streak.current >= target || s.streak.longest >= target; },
            [=](const Stats& s, const UserData&) {
                return std::optional(capped(std::max(s.streak.current, s.streak.longest), target));
            });
    }

    Achievement flag(const char* id, const char* name, const char* desc, const char* icon, T tier)
    {
        const QString flagText = QString::fromUtf8(id);
        return make(id, name, desc, tier, C::discovery, icon,
            [=](const Stats& s, const UserData&) { return s.firstUseFlags.contains(flagText); });
    }

    qint64 countWithin(const QList<QDateTime>& dates, double seconds)
    {
        const QDateTime since = Clock::current().now().addMSecs(-qint64(seconds * 1000.0));
        return std::count_if(dates.begin(), dates.end(), [&](const QDateTime& d) { return d >= since; });
    }
} // namespace

const QList<Achievement>& volume()
{
    static const QList<Achievement> list{
        threshold("volume_1", "First Words", "Triggered your first expansion.", T::bronze, C::volume, 1,
            "pencil-simple", &Stats::totalExpansions),
        threshold("volume_100", "Hundred Strong", "Triggered 100 expansions in total.", T::bronze, C::volume, 100,
            "lightning", &Stats::totalExpansions),
        threshold("volume_1k", "Power User", "Triggered 1,000 expansions in total.", T::silver, C::volume, 1000,
            "rocket-launch", &Stats::totalExpansions),
        threshold("volume_10k", "Marathon Typist", "Triggered 10,000 expansions in total.", T::gold, C::volume, 10000,
            "medal", &Stats::totalExpansions),
        threshold("volume_100k", "Keystroke Legend", "Triggered 100,000 expansions in total.", T::platinum, C::volume,
            100000, "crown", &Stats::totalExpansions),
    };
    return list;
}

const QList<Achievement>& time()
{
    static const QList<Achievement> list{
        timeThreshold("time_1h", "An Hour Reclaimed", "Saved one hour of typing.", T::bronze, 3600, "clock"),
        timeThreshold(
            "time_1d", "A Day Saved", "Saved eight hours of typing \u2014 about a workday.", T::silver, 28800, "sun"),
        timeThreshold("time_1w", "A Week Saved", "Saved 40 hours of typing \u2014 about a working week.", T::gold,
            144000, "calendar"),
        timeThreshold("time_1m", "A Month Saved", "Saved 160 hours of typing \u2014 about a working month.",
            T::platinum, 576000, "hourglass"),
    };
    return list;
}

const QList<Achievement>& library()
{
    static const QList<Achievement> list{
        libraryThreshold(
            "library_first", "First Shortcut", "Created your first shortcut.", T::bronze, 1, "bookmark-simple"),
        libraryThreshold("library_5", "Starter Kit", "Saved five shortcuts in your library.", T::bronze, 5, "stack"),
        libraryThreshold(
            "library_25", "Toolkit", "Saved twenty-five shortcuts in your library.", T::silver, 25, "books"),
        libraryThreshold(
            "library_100", "Loaded Library", "Saved one hundred shortcuts in your library.", T::gold, 100, "archive"),
    };
    return list;
}

const QList<Achievement>& folder()
{
    static const QList<Achievement> list{
        folderThreshold("folder_first", "Tidy", "Created your first folder.", T::bronze, 1, "folder"),
        folderThreshold("folder_10", "Organized", "Created ten folders.", T::silver, 10, "folders"),
        readingLibrary(make(
            "folder_nested_3", "Architect", "Nested folders three levels deep.", T::gold, C::folder, "tree-structure",
            [](const Stats&, const UserData& d) { return d.deepestFolderDepth() >= 3; },
            [](const Stats&, const UserData& d) { return std::optional(capped(d.deepestFolderDepth(), 3)); })),
    };
    return list;
}

const QList<Achievement>& customization()
{
    static const QList<Achievement> list{
        readingLibrary(make("custom_color", "Splash of Color", "Set a color on a folder.", T::bronze, C::customization,
            "paint-bucket",
            [](const Stats&, const UserData& d) {
                return std::any_of(
                    d.groups.begin(), d.groups.end(), [](const Group& g) { return g.color && !g.color->isEmpty(); });
            })),
        readingLibrary(make("custom_icon", "Custom Icon", "Uploaded a custom SVG icon.", T::silver, C::customization,
            "image", [](const Stats&, const UserData& d) { return !d.customIcons.isEmpty(); })),
        readingLibrary(make(
            "custom_5_icons", "Icon Collector", "Uploaded five custom SVG icons.", T::gold, C::customization, "images",
            [](const Stats&, const UserData& d) { return d.customIcons.size() >= 5; },
            [](const Stats&, const UserData& d) { return std::optional(capped(d.customIcons.size(), 5)); })),
    };
    return list;
}

const QList<Achievement>& streak()
{
    static const QList<Achievement> list{
        streakThreshold(
            "streak_3", "Warming Up", "Three days in a row with at least one expansion.", T::bronze, 3, "flame"),
        streakThreshold(
            "streak_7", "Week One", "Seven days in a row with at least one expansion.", T::silver, 7, "campfire"),
        streakThreshold(
            "streak_30", "Habitual", "Thirty days in a row with at least one expansion.", T::gold, 30, "trophy"),
        streakThreshold("streak_100", "Devoted", "One hundred days in a row with at least one expansion.", T::platinum,
            100, "medal-military"),
    };
    return list;
}

const QList<Achievement>& discovery()
{
    static const QList<Achievement> list{
        flag("discovery_export", "Backed Up", "Exported your library to a backup file.", "export", T::bronze),
        flag("discovery_import", "Imported", "Imported shortcuts from a file or from pasted text.", "download-simple",
            T::bronze),
        flag("discovery_search", "Search Party", "Used Ctrl+F to filter the shortcut list.", "magnifying-glass",
            T::bronze),
        flag("discovery_multi", "Multi-Select", "Selected multiple shortcuts at once.", "check-square", T::bronze),
        flag("discovery_cross", "Two Devices", "Signed in on two different devices.", "devices", T::silver),
    };
    return list;
}

const QList<Achievement>& hidden()
{
    static const QList<Achievement> list{
        readingLibrary(make("egg_sig", "Signed",
            "Created a shortcut with the trigger /sig \u2014 the classic email-signature snippet.", T::silver,
            C::hidden, "pen-nib",
            [](const Stats&, const UserData& d) {
                return std::any_of(d.shortcuts.begin(), d.shortcuts.end(),
                    [](const Shortcut& s) { return s.trigger == QLatin1String("/sig"); });
            })),
        make("egg_burst", "Quick Draw", "Triggered five expansions inside 60 seconds.", T::gold, C::hidden, "lightning",
            [](const Stats& s, const UserData&) { return countWithin(s.recentExpansionTimestamps, 60) >= 5; }),
        make("egg_caffeinated", "Caffeinated", "Triggered fifty expansions in a single hour.", T::bronze, C::hidden,
            "coffee",
            [](const Stats& s, const UserData&) { return countWithin(s.recentExpansionTimestamps, 3600) >= 50; }),
        make("egg_night_owl", "Night Owl", "Triggered an expansion between 2 a.m. and 4 a.m. local time.", T::platinum,
            C::hidden, "moon-stars",
            [](const Stats& s, const UserData&) {
                const QTimeZone zone = Clock::current().timeZone();
                return std::any_of(
                    s.recentExpansionTimestamps.begin(), s.recentExpansionTimestamps.end(), [&](const QDateTime& d) {
                        const int hour = d.toTimeZone(zone).time().hour();
                        return hour == 2 || hour == 3;
                    });
            }),
        make("egg_speed_run", "Speed Run", "Triggered one hundred expansions in a single day.", T::gold, C::hidden,
            "gauge",
            [](const Stats& s, const UserData&) {
                return std::any_of(
                    s.dailyBuckets.begin(), s.dailyBuckets.end(), [](qint64 count) { return count >= 100; });
            }),
    };
    return list;
}

const QList<Achievement>& all()
{
    static const QList<Achievement> list = [] {
        QList<Achievement> out;
        for (const auto* part :
            {&volume(), &time(), &library(), &folder(), &customization(), &streak(), &discovery(), &hidden()})
            out += *part;
        return out;
    }();
    return list;
}

const Achievement* find(const QString& id)
{
    for (const Achievement& a : all()) {
        if (a.id == id)
            return &a;
    }
    return nullptr;
}

} // namespace AchievementCatalog
