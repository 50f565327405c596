#pragma once

#include <QString>

struct Stats;

namespace StatusMenuText {

// "12 expansions • 59s saved", "90 expansions • 1.5m saved".
QString statisticsLine(const Stats& stats);
// The switch item's title for the engine's state.
QString expansionToggleTitle(bool engineRunning);

} // namespace StatusMenuText
