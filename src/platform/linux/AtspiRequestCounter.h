#pragma once

#include <QtGlobal>

// Requests Velmora has made to other applications through AT-SPI. Each is a round trip through
// the other application's event loop, the main cost of following the user's typing, so the
// expansion benchmark reads this to show what a key and an expansion cost. Main thread only.
class AtspiRequestCounter {
public:
    static quint64 count() { return s_count; }
    static void note() { ++s_count; }

private:
    static inline quint64 s_count = 0;
};
