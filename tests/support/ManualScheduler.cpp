#include "ManualScheduler.h"

#include "ManualClock.h"

#include <algorithm>
#include <cmath>

ManualScheduler::ManualScheduler(ManualClock* clock)
    : m_clock(clock)
{

    Scheduler::setCurrent(this);
}

ManualScheduler::~ManualScheduler()
{
    if (&Scheduler::current() == this)
        Scheduler::setCurrent(nullptr);
}

ScheduledTask ManualScheduler::add(double seconds, double interval, QObject* context, std::function<void()> work)
{
    auto state = std::make_shared<ScheduledTask::State>();
    m_entries.push_back(Entry{m_now + std::max(0.0, seconds), interval, m_sequence++, context != nullptr,
        QPointer<QObject>(context), std::move(work), state});
    return ScheduledTask(state);
}

ScheduledTask ManualScheduler::after(double seconds, QObject* context, std::function<void()> work)
{
    return add(seconds, 0, context, std::move(work));
}

ScheduledTask ManualScheduler::every(double seconds, QObject* context, std::function<void()> work)
{
    return add(seconds, std::max(seconds, 1e-6), context, std::move(work));
}

void ManualScheduler::advance(double seconds)
{
    const double target = m_now + std::max(0.0, seconds);
    const double epsilon = 1e-9;
    for (;;) {
        // Drop what was cancelled or whose context died.
        std::erase_if(m_entries,
            [](const Entry& e) { return e.state->cancelled || e.state->done || (e.hasContext && !e.context); });
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
            return a.due < b.due || (a.due == b.due && a.sequence < b.sequence);
        });
        if (next == m_entries.end() || next->due > target + epsilon)
            break;
        m_now = std::max(m_now, next->due);
        syncClock();
        auto work = next->work;
        auto state = next->state;
        if (next->interval > 0) {
            next->due += next->interval;
            next->sequence = m_sequence++;
        } else {
            state->done = true;
        }
        work();
    }
    m_now = target;
    syncClock();
}

// The clock moves by whole milliseconds of the scheduler's own time, so that steps of
// 0.4 s add up without drift, and changes a test makes to the clock itself are kept.
void ManualScheduler::syncClock()
{
    const qint64 target = qint64(std::llround(m_now * 1000.0));
    if (m_clock)
        m_clock->set(m_clock->now().addMSecs(target - m_syncedMs));
    m_syncedMs = target;
}

std::vector<double> ManualScheduler::pendingDelays() const
{
    std::vector<double> delays;
    for (const Entry& e : m_entries) {
        if (!e.state->cancelled && !e.state->done && (!e.hasContext || e.context))
            delays.push_back(e.due - m_now);
    }
    std::sort(delays.begin(), delays.end());
    return delays;
}

int ManualScheduler::pendingCount() const
{
    return int(pendingDelays().size());
}
