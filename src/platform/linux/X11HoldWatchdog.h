#pragma once

#include <QtGlobal>
#include <sys/types.h>

// Ends a keyboard hold's X connection when its deadline passes without the main thread moving
// it: the server then drops the connection's keyboard grab, and a server grab with it. It is a
// process of its own, forked with a copy of the connection's socket, so that nothing that
// stops this process (a stuck event loop, a debugger, SIGSTOP) can stop it too. After the
// fork it only calls functions that are safe there (poll, read, shutdown, _exit).
//
// Once it has ended the connection, every write of ours to it fails: the process must not be
// ended by SIGPIPE for that, so the watchdog's owner ignores that signal.
class X11HoldWatchdog {
public:
    explicit X11HoldWatchdog(int connectionSocket);
    ~X11HoldWatchdog();
    X11HoldWatchdog(const X11HoldWatchdog&) = delete;
    X11HoldWatchdog& operator=(const X11HoldWatchdog&) = delete;

    // Lets go of the keyboard unless told otherwise within `seconds`.
    void arm(double seconds) { tell(qint64(seconds * 1000)); }
    void disarm() { tell(-1); }

private:
    void tell(qint64 milliseconds);

    pid_t m_child = -1;
    int m_channel = -1;
};
