#pragma once

#include "Services/Achievement.h"

#include <QList>

struct Stats;
struct UserData;

// Decides which achievements were just earned, and stamps those a user had earned before the
// statistics carried any achievement record. Stateless; the caller stamps, saves and
// announces.
namespace AchievementEngine {

inline const QString migrationFlag = QStringLiteral("achievements_migration_v1");

// The achievements not yet stamped in `stats.unlocked` whose test holds now, in catalog order.
// With `libraryLookedAt`, the caller has evaluated this library before and only the statistics
// changed since: tests that read the library are not run again, so that the check after an
// expansion does not look through a large library.
QList<Achievement> evaluate(const Stats& stats, const UserData& userData, bool libraryLookedAt = false);

// Once per statistics: stamps every met, unstamped achievement with one date (no banner) and
// adds the migration flag. Does nothing when the flag is already there. Does not save.
void backfillIfNeeded(Stats& stats, const UserData& userData);

} // namespace AchievementEngine
