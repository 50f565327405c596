#pragma once

#include "Utilities/Scheduler.h"

#include <QDateTime>
#include <QPointer>
#include <vector>

class ManualClock;

// A scheduler whose time only moves when a test calls advance(); due work runs in time
// order (ties in the order scheduled). Installs itself as the current scheduler for its
// lifetime. With a ManualClock attached, the clock moves along with it.
class ManualScheduler final : public Scheduler {
public:
    explicit ManualScheduler(ManualClock* clock = nullptr);
    ~ManualScheduler() override;

    ScheduledTask after(double seconds, QObject* context, std::function<void()> work) override;
    ScheduledTask every(double seconds, QObject* context, std::function<void()> work) override;

    // Moves time forward by `seconds`, running everything that falls due on the way.
    void advance(double seconds);
    // Runs work due now (delay 0) without moving time.
    void runDue() { advance(0); }

    double now() const { return m_now; }
    // Delays of the tasks still pending, relative to now, in the order they fall due.
    std::vector<double> pendingDelays() const;
    int pendingCount() const;

private:
    struct Entry {
        double due;
        double interval; // 0 for one-shot work
        quint64 sequence;
        bool hasContext;
        QPointer<QObject> context;
        std::function<void()> work;
        std::shared_ptr<ScheduledTask::State> state;
    };
    ScheduledTask add(double seconds, double interval, QObject* context, std::function<void()> work);

    void syncClock();

    ManualClock* m_clock;
    qint64 m_syncedMs = 0;
    double m_now = 0;
    quint64 m_sequence = 0;
    std::vector<Entry> m_entries;
};
