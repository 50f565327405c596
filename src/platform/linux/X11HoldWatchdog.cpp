#include "X11HoldWatchdog.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

qint64 now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

[[noreturn]] void watch(int channel, int connectionSocket)
{
    for (int fd = 3; fd < 4096; ++fd) {
        if (fd != channel && fd != connectionSocket)
            close(fd);
    }
    qint64 deadline = -1;
    for (;;) {
        pollfd wait{channel, POLLIN, 0};
        const int timeout = deadline < 0 ? -1 : int(std::max<qint64>(0, deadline - now()));
        const int ready = poll(&wait, 1, timeout);
        if (ready < 0 && errno != EINTR)
            _exit(0);
        if (ready > 0) {
            qint64 milliseconds = 0;
            const ssize_t got = read(channel, &milliseconds, sizeof milliseconds);
            if (got <= 0)
                _exit(0);
            if (got == sizeof milliseconds)
                deadline = milliseconds < 0 ? -1 : now() + milliseconds;
            continue;
        }
        if (ready == 0 && deadline >= 0 && now() >= deadline) {
            // Only our side's writing ends: the server reads the end of the connection
            // and drops it, while the keys it had sent us can still be read.
            shutdown(connectionSocket, SHUT_WR);
            deadline = -1;
        }
    }
}

} // namespace

X11HoldWatchdog::X11HoldWatchdog(int connectionSocket)
{
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return;
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(0);
        watch(channel[0], connectionSocket);
    }
    close(channel[0]);
    if (child < 0) {
        close(channel[1]);
        return;
    }
    fcntl(channel[1], F_SETFL, O_NONBLOCK);
    m_child = child;
    m_channel = channel[1];
}

X11HoldWatchdog::~X11HoldWatchdog()
{
    if (m_channel >= 0)
        close(m_channel);
    if (m_child > 0) {
        int status = 0;
        waitpid(m_child, &status, 0);
    }
}

void X11HoldWatchdog::tell(qint64 milliseconds)
{
    // A watchdog that cannot take the message (stopped, gone) keeps its last deadline, which
    // only ever lets go of the keyboard too early.
    if (m_channel >= 0) [[maybe_unused]]
        const ssize_t written = write(m_channel, &milliseconds, sizeof milliseconds);
}
