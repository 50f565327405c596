#pragma once

#include <QtGlobal>

#include <csignal>

namespace TestSupport {

// A process that has already ended reports id 0, and kill(0, ...) signals the test's own process
// group: a SIGSTOP meant for Velmora would stop the test and everything it started.
inline bool signalPid(qint64 id, int signal)
{
    return id > 0 && ::kill(pid_t(id), signal) == 0;
}

} // namespace TestSupport
