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
    // Read-only: the list is shared with the history and the views, and must not be copied.
    const QList<Shortcut>& shortcuts = m_userData.shortcuts;
    const auto shortcut
        = std::find_if(shortcuts.cbegin(), shortcuts.cend(), [&](const Shortcut& x) { return x.trigger == trigger; });
    recordShortcutExpansion(shortcut != shortcuts.cend() ? shortcut->id : QString(), charsSaved);
}

void AppState::recordShortcutExpansion(const QString& shortcutId, qint64 charsSaved)
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

    if (!shortcutId.isEmpty()) {
        if (PerShortcutStat* used = s.perShortcut.find(shortcutId)) {
            used->count = Saturating::add(used->count, 1);
            used->lastUsedAt = now;
        } else {
            s.perShortcut.insert(shortcutId, PerShortcutStat{1, now, now});
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

// Hands the current statistics to the store; when it refuses them, or writes at once and
// fails, puts `previous` back. Announces the outcome.
bool AppState::saveStats(const Stats& previous)
{
    const quint64 write = ++m_statsWrites;
    const QPointer<AppState> self(this);
    const bool accepted = m_store.saveStatsSoon(m_stats, [self, write, value = m_stats](bool written) {
        if (self)
            self->statsWritten(write, written, value);
    });
    if (!accepted || m_lastFailedStatsWrite == write) {
        m_stats = previous;
        m_libraryAchievementsChecked = false;
        Q_EMIT statsChanged();
        return false;
    }
    Q_EMIT statsChanged();
    return true;
}

// Saves that waited together learn one outcome, in the order they were made: the last one's
// value is what was written.
void AppState::statsWritten(quint64 write, bool written, const Stats& value)
{
    if (written) {
        m_writtenStats = value;
        return;
    }
    m_lastFailedStatsWrite = write;
    // Counts made since the last write that reached the disk are dropped with it.
    m_stats = m_writtenStats;
    m_libraryAchievementsChecked = false;
    Q_EMIT statsChanged();
}
