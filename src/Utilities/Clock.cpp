#include "Utilities/Clock.h"

namespace {
SystemClock& systemClock()
{
    static SystemClock clock;
    return clock;
}
Clock* g_current = nullptr;
} // namespace

Clock& Clock::current()
{
    return g_current ? *g_current : systemClock();
}

void Clock::setCurrent(Clock* clock)
{
    g_current = clock;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

QTimeZone SystemClock::timeZone() const
{
    return QTimeZone::systemTimeZone();
}
