#include "Services/AchievementEngine.h"

#include "Models/Stats.h"
#include "Models/UserData.h"
#include "Services/AchievementCatalog.h"
#include "Utilities/Clock.h"

namespace AchievementEngine {

QList<Achievement> evaluate(const Stats& stats, const UserData& userData, bool libraryLookedAt)
{
    QList<Achievement> newly;
    for (const Achievement& a : AchievementCatalog::all()) {
        if (libraryLookedAt && a.readsLibrary)
            continue;
        if (!stats.unlocked.contains(a.id) && a.isUnlocked(stats, userData))
            newly.append(a);
    }
    return newly;
}

void backfillIfNeeded(Stats& stats, const UserData& userData)
{
    if (stats.firstUseFlags.contains(migrationFlag))
        return;
    const QDateTime now = Clock::current().now();
    for (const Achievement& a : AchievementCatalog::all()) {
        if (!stats.unlocked.contains(a.id) && a.isUnlocked(stats, userData))
            stats.unlocked[a.id] = now;
    }
    stats.firstUseFlags.insert(migrationFlag);
}

} // namespace AchievementEngine
