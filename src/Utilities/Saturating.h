#pragma once

#include <QtGlobal>
#include <limits>

namespace Saturating {

// a + b, held at the nearest limit instead of overflowing: counters read from a file can
// already stand at the largest value.
inline qint64 add(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

} // namespace Saturating
