#pragma once

#include "Models/Stats.h"
#include "Models/UserData.h"

#include <QString>

// What the save loop writes in round `round`, shared with the crash test so that it can tell
// the old version from the new one exactly. The size changes from round to round, so that
// kills land at different points of differently sized writes.
namespace SaveLoopRounds {

inline UserData library(qint64 round)
{
    UserData data;
    Group folder;
    folder.id = QStringLiteral("FOLDER");
    folder.name = QStringLiteral("Round %1").arg(round);
    data.groups.append(folder);
    const int count = 200 + int(round % 7) * 150;
    for (int i = 0; i < count; ++i) {
        Shortcut shortcut;
        shortcut.id = QStringLiteral("SHORTCUT-%1").arg(i);
        shortcut.trigger = QStringLiteral("/t%1").arg(i);
        shortcut.expansion
            = QStringLiteral("Round %1, shortcut %2: the quick brown fox jumps over the lazy dog.").arg(round).arg(i);
        if (i % 2 == 0)
            shortcut.groupId = folder.id;
        shortcut.order = i;
        data.shortcuts.append(shortcut);
    }
    return data;
}

inline Stats stats(qint64 round)
{
    Stats stats = Stats::empty();
    stats.totalExpansions = round;
    stats.totalCharsSaved = round * 40;
    stats.dailyBuckets.insert(QStringLiteral("2025-03-01"), round);
    return stats;
}

} // namespace SaveLoopRounds
