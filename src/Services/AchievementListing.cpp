#include "Services/AchievementListing.h"

#include "Models/Stats.h"
#include "Services/AchievementCatalog.h"

#include <algorithm>

namespace AchievementListing {

QString rawValue(Filter filter)
{
    switch (filter) {
    case Filter::all: return QStringLiteral("all");
    case Filter::unlocked: return QStringLiteral("unlocked");
    case Filter::locked: return QStringLiteral("locked");
    }
    return QStringLiteral("all");
}

Filter filterFromRaw(const QString& raw)
{
    for (Filter filter : {Filter::unlocked, Filter::locked}) {
        if (raw == rawValue(filter))
            return filter;
    }
    return Filter::all;
}

QString label(Filter filter)
{
    switch (filter) {
    case Filter::all: return QStringLiteral("All");
    case Filter::unlocked: return QStringLiteral("Unlocked");
    case Filter::locked: return QStringLiteral("Locked");
    }
    return {};
}

QString sectionTitle(AchievementCategory category)
{
    switch (category) {
    case AchievementCategory::volume: return QStringLiteral("Volume");
    case AchievementCategory::time: return QStringLiteral("Time saved");
    case AchievementCategory::library: return QStringLiteral("Library");
    case AchievementCategory::folder: return QStringLiteral("Folders");
    case AchievementCategory::customization: return QStringLiteral("Customization");
    case AchievementCategory::streak: return QStringLiteral("Streak");
    case AchievementCategory::discovery: return QStringLiteral("Discovery");
    case AchievementCategory::hidden: return QStringLiteral("Hidden");
    }
    return {};
}

std::optional<QDateTime> unlockDate(const Stats& stats, const QString& id)
{
    const auto found = stats.unlocked.constFind(id);
    if (found == stats.unlocked.cend())
        return std::nullopt;
    return *found;
}

int unlockedCount(const Stats& stats)
{
    const QList<Achievement>& all = AchievementCatalog::all();
    return int(
        std::count_if(all.begin(), all.end(), [&](const Achievement& a) { return stats.unlocked.contains(a.id); }));
}

namespace {
    // The stamped catalog achievements in the walk order of the statistics' map.
    QList<Unlock> unlocks(const Stats& stats)
    {
        QList<Unlock> found;
        for (auto it = stats.unlocked.cbegin(); it != stats.unlocked.cend(); ++it) {
            if (const Achievement* a = AchievementCatalog::find(it.key()))
                found.append(Unlock{*a, it.value()});
        }
        return found;
    }
} // namespace

std::optional<Unlock> latestUnlock(const Stats& stats)
{
    const QList<Unlock> all = unlocks(stats);
    if (all.isEmpty())
        return std::nullopt;
    Unlock best = all.first();
    for (const Unlock& candidate : all) {
        if (best.date < candidate.date)
            best = candidate;
    }
    return best;
}

QList<Unlock> recentlyUnlocked(const Stats& stats, int limit)
{
    // Walked in catalog order so that ties (the backfill stamps many with one date) read in
    // the order the screen lists them.
    QList<Unlock> found;
    for (const Achievement& a : AchievementCatalog::all()) {
        if (const std::optional<QDateTime> date = unlockDate(stats, a.id))
            found.append(Unlock{a, *date});
    }
    std::stable_sort(found.begin(), found.end(), [](const Unlock& l, const Unlock& r) { return r.date < l.date; });
    if (found.size() > limit)
        found.resize(std::max(limit, 0));
    return found;
}

QList<Section> sections(const Stats& stats, Filter filter)
{
    QList<Section> result;
    for (AchievementCategory category : allAchievementCategories()) {
        Section section{::rawValue(category), sectionTitle(category), {}};
        for (const Achievement& a : AchievementCatalog::all()) {
            if (a.category != category)
                continue;
            const bool stamped = stats.unlocked.contains(a.id);
            if (filter == Filter::all || (filter == Filter::unlocked) == stamped)
                section.items.append(a);
        }
        if (!section.items.isEmpty())
            result.append(section);
    }
    return result;
}

std::optional<AchievementProgress> progress(
    const Achievement& achievement, const Stats& stats, const UserData& userData)
{
    if (!achievement.progress)
        return std::nullopt;
    return achievement.progress(stats, userData);
}

double fraction(const AchievementProgress& progress)
{
    if (progress.target < 1)
        return 0;
    return std::clamp(double(progress.current) / double(progress.target), 0.0, 1.0);
}

} // namespace AchievementListing
