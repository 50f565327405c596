#include "platform/Desktop.h"

namespace {
Desktop g_current;
} // namespace

bool Desktop::isComplete() const
{
    return eventSource && accessibility && trust && keyboard && pasteboard && workspace;
}

const Desktop& Desktop::current()
{
    return g_current;
}

void Desktop::setCurrent(const Desktop& desktop)
{
    g_current = desktop;
}
