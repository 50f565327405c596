#pragma once

#include "Utilities/Clock.h"

#include <cmath>

// A clock that stands still until told to move; installs itself as the current clock for
// its lifetime.
class ManualClock final : public Clock {
public:
    explicit ManualClock(
        QDateTime start = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC), QTimeZone zone = QTimeZone::utc());
    ~ManualClock() override;

    QDateTime now() const override { return m_now; }
    QTimeZone timeZone() const override { return m_zone; }

    void set(const QDateTime& now) { m_now = now; }
    void setTimeZone(const QTimeZone& zone) { m_zone = zone; }
    void advance(double seconds) { m_now = m_now.addMSecs(qint64(std::llround(seconds * 1000.0))); }
    void advanceDays(int days) { m_now = m_now.addDays(days); }

private:
    QDateTime m_now;
    QTimeZone m_zone;
};
