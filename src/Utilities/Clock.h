#pragma once

#include <QDateTime>
#include <QTimeZone>

// The one source of "now" and of the user's time zone. Code never asks the system directly,
// so tests can move time across midnight, time zones and days (tests/support/ManualClock.h).
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual QTimeZone timeZone() const = 0;

    // The process-wide clock: the system clock unless a test installed another.
    static Clock& current();
    // Installs `clock` (not owned) as the current clock; nullptr restores the system clock.
    static void setCurrent(Clock* clock);
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    QTimeZone timeZone() const override;
};
