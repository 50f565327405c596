#include "Services/AchievementTexts.h"

#include "Utilities/TimeText.h"

namespace AchievementTexts {

bool isMasked(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    return !unlockedAt && achievement.category == AchievementCategory::hidden;
}

QString title(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    return isMasked(achievement, unlockedAt) ? QStringLiteral("???") : achievement.name;
}

QString cardStatus(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    if (unlockedAt)
        return QStringLiteral("Received ") + TimeText::mediumDate(*unlockedAt);
    return isMasked(achievement, unlockedAt) ? QStringLiteral("Hidden") : QStringLiteral("Locked");
}

QString cardTooltip(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    return isMasked(achievement, unlockedAt) ? QStringLiteral("Hidden \u2014 keep going to discover")
                                             : achievement.description;
}

QString tierLabel(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    if (isMasked(achievement, unlockedAt))
        return QStringLiteral("Hidden");
    if (!unlockedAt)
        return QStringLiteral("Locked \u00b7 ") + rawValue(achievement.tier);
    return rawValue(achievement.tier);
}

QString sheetDescription(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    return isMasked(achievement, unlockedAt) ? QStringLiteral("Hidden \u2014 keep going to discover this one.")
                                             : achievement.description;
}

QString metaLine(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt)
{
    if (unlockedAt)
        return QStringLiteral("Unlocked ") + TimeText::mediumDate(*unlockedAt);
    return isMasked(achievement, unlockedAt) ? QStringLiteral("Hidden") : QStringLiteral("Locked");
}

} // namespace AchievementTexts
