#include "ManualClock.h"

ManualClock::ManualClock(QDateTime start, QTimeZone zone)
    : m_now(std::move(start))
    , m_zone(std::move(zone))
{
    Clock::setCurrent(this);
}

ManualClock::~ManualClock()
{
    if (&Clock::current() == this)
        Clock::setCurrent(nullptr);
}
