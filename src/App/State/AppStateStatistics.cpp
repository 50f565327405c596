#include "App/State/AppState.h"

#include "Utilities/Saturating.h"

#include "Persistence/LocalStore.h"
#include "Utilities/Clock.h"

#include <algorithm>

namespace {

// Seconds of typing saved per character.
constexpr double charactersPerSecond = 3.33;
constexpr qint64 oneDay = 86400;
constexpr qint64 bucketPruningAge = 365 * oneDay;
constexpr int bucketPruningThreshold = 366;
constexpr int recentTimestampsKept = 60;

} // namespace

QString AppState::dayKey(const QDateTime& date)
{
    // Gregorian, fixed digits, in the user's current time zone.
    return date.toTimeZone(Clock::current().timeZone()).date().toString(QStringLiteral("yyyy-MM-dd"));
}

void AppState::recordExpansion(const QString& trigger, qint64 charsSaved)
{
    if (!m_store.isReady())
        return;
    const Stats previous = m_stats;
    const QDateTime now = Clock::current().now();
    Stats& s = m_stats;
    s.totalExpansions = Saturating::add(s.totalExpansions, 1);
    const qint64 chars = std::max<qint64>(charsSaved, 0);
    const double saved = double(chars) / charactersPerSecond;
    s.totalTimeSaved += saved;
    s.totalCharsSaved = Saturating::add(s.totalCharsSaved, chars);

    const auto shortcut = std::find_if(m_userData.shortcuts.begin(), m_userData.shortcuts.end(),
        [&](const Shortcut& x) { return x.trigger == trigger; });
    if (shortcut != m_userData.shortcuts.end()) {
        auto it = s.perShortcut.find(shortcut->id);
        if (it != s.perShortcut.end()) {
            it->count = Saturating::add(it->count, 1);
            it->lastUsedAt = now;
        } else {
            s.perShortcut.insert(shortcut->id, PerShortcutStat{1, now, now});
        }
    }

    const QString today = dayKey(now);
    s.dailyBuckets[today] = Saturating::add(s.dailyBuckets.value(today, 0), 1);
    if (s.dailyBuckets.size() >= bucketPruningThreshold) {
        const QString cutoff = dayKey(now.addSecs(-bucketPruningAge));
        for (auto it = s.dailyBuckets.begin(); it != s.dailyBuckets.end();) {
            if (it.key() < cutoff)
                it = s.dailyBuckets.erase(it);
            else
                ++it;
        }
    }

    const QString yesterday = dayKey(now.addSecs(-oneDay));
    if (s.streak.lastDay == today) {
        // Already counted today.
    } else if (s.streak.lastDay == yesterday) {
        s.streak.current = Saturating::add(s.streak.current, 1);
        s.streak.lastDay = today;
    } else {
        s.streak.current = 1;
        s.streak.lastDay = today;
    }
    s.streak.longest = std::max(s.streak.longest, s.streak.current);

    s.recentExpansionTimestamps.append(now);
    if (s.recentExpansionTimestamps.size() > recentTimestampsKept)
        s.recentExpansionTimestamps.remove(0, s.recentExpansionTimestamps.size() - recentTimestampsKept);

    if (!saveStats(previous))
        return;
    runAchievementChecks();
    if (m_settings.showTimeSavedAnimation && m_timeSavedPresenter)
        m_timeSavedPresenter(saved);
}

void AppState::setFirstUseFlag(const QString& flag)
{
    if (!m_store.isReady() || m_stats.firstUseFlags.contains(flag))
        return;
    const Stats previous = m_stats;
    m_stats.firstUseFlags.insert(flag);
    if (saveStats(previous))
        runAchievementChecks();
}

// Writes the current statistics; on failure puts `previous` back. Announces the outcome.
bool AppState::saveStats(const Stats& previous)
{
    if (!m_store.saveStats(m_stats)) {
        m_stats = previous;
        Q_EMIT statsChanged();
        return false;
    }
    Q_EMIT statsChanged();
    return true;
}
