#include "Utilities/Scheduler.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>

void ScheduledTask::cancel()
{
    if (m_state)
        m_state->cancelled = true;
}

bool ScheduledTask::isPending() const
{
    return m_state && !m_state->cancelled && !m_state->done;
}

namespace {
EventLoopScheduler& eventLoopScheduler()
{
    static EventLoopScheduler scheduler;
    return scheduler;
}
Scheduler* g_current = nullptr;

int toMilliseconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return int(std::lround(std::min(seconds * 1000.0, double(std::numeric_limits<int>::max()))));
}
} // namespace

Scheduler& Scheduler::current()
{
    return g_current ? *g_current : eventLoopScheduler();
}

void Scheduler::setCurrent(Scheduler* scheduler)
{
    g_current = scheduler;
}

ScheduledTask EventLoopScheduler::after(double seconds, QObject* context, std::function<void()> work)
{
    auto state = std::make_shared<ScheduledTask::State>();
    QObject* receiver = context ? context : QCoreApplication::instance();
    QTimer::singleShot(toMilliseconds(seconds), receiver, [state, work = std::move(work)] {
        if (state->cancelled || state->done)
            return;
        state->done = true;
        work();
    });
    return ScheduledTask(state);
}

ScheduledTask EventLoopScheduler::every(double seconds, QObject* context, std::function<void()> work)
{
    auto state = std::make_shared<ScheduledTask::State>();
    auto* timer = new QTimer(context ? context : QCoreApplication::instance());
    timer->setInterval(toMilliseconds(seconds));
    QObject::connect(timer, &QTimer::timeout, timer, [state, timer, work = std::move(work)] {
        if (state->cancelled) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        work();
        if (state->cancelled) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    return ScheduledTask(state);
}
