#include "App/State/StatusMenuText.h"

#include "Models/Stats.h"

#include <cmath>

namespace StatusMenuText {

QString statisticsLine(const Stats& stats)
{
    const double seconds = stats.totalTimeSaved;
    const QString time = seconds < 60 ? QString::number(qint64(std::trunc(seconds))) + u's'
                                      : QString::asprintf("%.1fm", seconds / 60.0);
    return QString::number(stats.totalExpansions) + QStringLiteral(" expansions \u2022 ") + time
        + QStringLiteral(" saved");
}

QString expansionToggleTitle(bool engineRunning)
{
    return engineRunning ? QStringLiteral("Disable Expansion") : QStringLiteral("Enable Expansion");
}

} // namespace StatusMenuText
