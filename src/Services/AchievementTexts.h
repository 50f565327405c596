#pragma once

#include "Services/Achievement.h"

#include <QDateTime>
#include <QString>
#include <optional>

// The words a badge card and the detail sheet show for one achievement. Locked means no
// unlock date; masked means locked and of the hidden category: a masked achievement shows
// neither its name, nor its description, nor its symbol.
namespace AchievementTexts {

bool isMasked(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);

// The name, or "???" when masked (card and sheet alike).
QString title(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
// A card's status line when it shows no progress: "Received " + date, "Locked" or "Hidden".
QString cardStatus(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
QString cardTooltip(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
// "gold", "Locked · gold" or "Hidden"; the sheet shows it upper-cased.
QString tierLabel(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
QString sheetDescription(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
// "Unlocked " + date, "Locked" or "Hidden".
QString metaLine(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);

} // namespace AchievementTexts
