#include "App/State/AppState.h"

#include "Persistence/LocalStore.h"
#include "Services/AchievementEngine.h"
#include "Utilities/Clock.h"
#include "Utilities/Scheduler.h"

void AppState::backfillAchievementsIfNeeded()
{
    const Stats previous = m_stats;
    AchievementEngine::backfillIfNeeded(m_stats, m_userData);
    saveStats(previous);
}

void AppState::runAchievementChecks()
{
    if (!m_store.isReady())
        return;
    const QList<Achievement> newly = AchievementEngine::evaluate(m_stats, m_userData, m_libraryAchievementsChecked);
    // Those earned now are stamped below; a refused save clears this again.
    m_libraryAchievementsChecked = true;
    if (newly.isEmpty())
        return;
    const Stats previous = m_stats;
    const QDateTime now = Clock::current().now();
    for (const Achievement& a : newly)
        m_stats.unlocked[a.id] = now;
    if (!saveStats(previous))
        return;
    if (!m_settings.showAchievementToast || !m_achievementPresenter)
        return;
    for (qsizetype i = 0; i < newly.size(); ++i) {
        const Achievement& achievement = newly[i];
        Scheduler::current().after(double(i) * 0.4, this, [this, achievement] {
            if (m_achievementPresenter)
                m_achievementPresenter(achievement);
        });
    }
}
