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

QString sentences(const QStringList& parts)
{
    QString text;
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        // The catalogue's descriptions end in a full stop; tiers, statuses and dates do not.
        if (!text.isEmpty())
            text += QStringView(u".!?\u2026").contains(text.back()) ? QStringLiteral(" ") : QStringLiteral(". ");
        text += part;
    }
    return text;
}

QString cardDescription(
    const Achievement& achievement, const std::optional<QDateTime>& unlockedAt, const QString& status)
{
    return sentences({cardTooltip(achievement, unlockedAt), status});
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
