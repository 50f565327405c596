#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

// A handle to work scheduled with a Scheduler. Copies share the task; cancelling any copy
// cancels it. A default-constructed handle refers to nothing.
class ScheduledTask {
public:
    ScheduledTask() = default;
    void cancel();
    bool isPending() const;

    struct State {
        bool cancelled = false;
        bool done = false;
    };
    explicit ScheduledTask(std::shared_ptr<State> state)
        : m_state(std::move(state))
    {
    }

private:
    std::shared_ptr<State> m_state;
};

// "Run this after N seconds on the main thread." Every delay of the system (caret and paste
// retries, toasts, banners, debounces, polls) goes through the current scheduler so tests
// can step time without sleeping (tests/support/ManualScheduler.h).
class Scheduler {
public:
    virtual ~Scheduler() = default;

    // Runs `work` once after `seconds` (0 means on the next turn of the event loop). When
    // `context` is given and destroyed first, the work is dropped.
    virtual ScheduledTask after(double seconds, QObject* context, std::function<void()> work) = 0;

    // Runs `work` every `seconds` until the returned task is cancelled or `context` dies.
    virtual ScheduledTask every(double seconds, QObject* context, std::function<void()> work) = 0;

    static Scheduler& current();
    // Installs `scheduler` (not owned); nullptr restores the event-loop scheduler.
    static void setCurrent(Scheduler* scheduler);
};

// The real scheduler, on QTimer.
class EventLoopScheduler final : public Scheduler {
public:
    ScheduledTask after(double seconds, QObject* context, std::function<void()> work) override;
    ScheduledTask every(double seconds, QObject* context, std::function<void()> work) override;
};
