#pragma once

#include <QString>
#include <functional>
#include <optional>

struct Stats;
struct UserData;

enum class AchievementTier { bronze, silver, gold, platinum, hidden };
enum class AchievementCategory { volume, time, library, folder, customization, streak, discovery, hidden };

QString rawValue(AchievementTier tier);
QString rawValue(AchievementCategory category);
// The case for a raw text; no value for any text that is not exactly one of the raw values.
std::optional<AchievementTier> achievementTier(const QString& raw);
std::optional<AchievementCategory> achievementCategory(const QString& raw);
// Every category in declaration order: the order of the achievements screen's sections.
const QList<AchievementCategory>& allAchievementCategories();

// Progress towards a countable achievement: `current` is capped at `target`.
struct AchievementProgress {
    qint64 current = 0;
    qint64 target = 0;
    friend bool operator==(const AchievementProgress&, const AchievementProgress&) = default;
};

// One entry of the catalog. Two achievements are the same when their ids are; only the id
// (with the date it was earned) is ever stored.
struct Achievement {
    using Test = std::function<bool(const Stats&, const UserData&)>;
    using Progress = std::function<std::optional<AchievementProgress>(const Stats&, const UserData&)>;

    QString id;
    QString name;
    QString description;
    AchievementTier tier = AchievementTier::bronze;
    AchievementCategory category = AchievementCategory::volume;
    QString icon;
    Test isUnlocked;
    Progress progress; // empty for achievements without measurable progress
    // Whether the test looks at the library: the others cannot change while only the
    // statistics do, as with every expansion.
    bool readsLibrary = false;

    friend bool operator==(const Achievement& a, const Achievement& b) { return a.id == b.id; }
};
size_t qHash(const Achievement& achievement, size_t seed = 0);
