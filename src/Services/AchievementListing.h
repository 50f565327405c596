#pragma once

#include "Services/Achievement.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

struct Stats;
struct UserData;

// What the statistics and achievements screens list. An achievement counts as unlocked
// exactly when the statistics hold a date for its id; ids the catalog does not know are
// ignored everywhere.
namespace AchievementListing {

struct Unlock {
    Achievement achievement;
    QDateTime date;
};

enum class Filter { all, unlocked, locked };

// One section of the achievements screen: a category with the entries the filter keeps.
struct Section {
    QString id; // the category's raw value
    QString title;
    QList<Achievement> items;
};

inline const QString filterSettingsKey = QStringLiteral("velmora.achievements.filter");

QString rawValue(Filter filter);
// The filter for a stored text; any text other than the three raw values means `all`.
Filter filterFromRaw(const QString& raw);
QString label(Filter filter);

QString sectionTitle(AchievementCategory category);

std::optional<QDateTime> unlockDate(const Stats& stats, const QString& id);
// Catalog achievements with a date.
int unlockedCount(const Stats& stats);
// The catalog achievement with the latest date; among equal dates the first one met.
std::optional<Unlock> latestUnlock(const Stats& stats);
// The newest unlocks, newest first, at most `limit`; equal dates keep the catalog order.
QList<Unlock> recentlyUnlocked(const Stats& stats, int limit = 5);
// One section per category, in category order, omitting categories the filter empties.
QList<Section> sections(const Stats& stats, Filter filter);
// The entry's progress rule applied now; none when it has none.
std::optional<AchievementProgress> progress(
    const Achievement& achievement, const Stats& stats, const UserData& userData);
// current / target clamped to 0 ... 1; 0 for a target below 1.
double fraction(const AchievementProgress& progress);

} // namespace AchievementListing
