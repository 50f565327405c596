#pragma once

#include "Utilities/SerialWorker.h"

#include <QtGlobal>
#include <utility>

// Letting go of a large library's list of records is a pass over every record (each holds
// texts whose users are counted), as long as copying the list: done on the interface thread
// after each edit, it lengthens the freeze the edit causes. A holder that lets go of such a
// list while it is the list's last holder hands it to a thread of its own instead.
namespace BackgroundRelease {

// Lists shorter than this are let go of at once.
inline constexpr qsizetype worthAThread = 10000;

// The thread lists are let go of on, one after another.
SerialWorker& worker();

// Puts `next` in `held`'s place; the list it held goes on the worker's thread when this was
// its last holder and it is large.
template <class List> void replace(List& held, List next)
{
    List previous = std::exchange(held, std::move(next));
    if (previous.isDetached() && previous.size() >= worthAThread)
        worker().post([previous = std::move(previous)] { Q_UNUSED(previous); });
}

} // namespace BackgroundRelease
