#pragma once

#include "Services/Achievement.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
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
// `parts` (the empty ones left out) as sentences, each ended once: a full stop goes between
// two only where the first has none of its own.
QString sentences(const QStringList& parts);
// What a card tells assistive technology: its tooltip and then `status` (the status line or
// the progress), as two sentences, each ended once.
QString cardDescription(
    const Achievement& achievement, const std::optional<QDateTime>& unlockedAt, const QString& status);
// "gold", "Locked · gold" or "Hidden"; the sheet shows it upper-cased.
QString tierLabel(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
QString sheetDescription(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);
// "Unlocked " + date, "Locked" or "Hidden".
QString metaLine(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt);

} // namespace AchievementTexts
