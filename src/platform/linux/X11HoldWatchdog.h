#pragma once

#include <QList>
#include <QtGlobal>
#include <sys/types.h>

struct xcb_connection_t;

// Ends a keyboard hold's X connection when its deadline passes without the main thread moving
// it: the server then drops the connection's keyboard grab, and a server grab with it. It is a
// process of its own, forked with a copy of the connection's socket, so that nothing that
// stops this process (a stuck event loop, a debugger, SIGSTOP) can stop it too. When this
// process ends while holding (killed), it lets go at once, as it learns of that end from the
// channel closing. After the
// fork it only calls functions that are safe there (poll, read, write, shutdown, _exit).
//
// Letting go, it also types the keys the hold would have typed again, so that the user's typing
// reaches the focused window in its order at once instead of being lost or coming late: first
// those the hold had taken and told it of (owe()), then those the server had sent to the
// connection and nobody read, which it reads itself once the server has dropped the connection.
// It types them on an X connection of its own, opened before the fork, with the server grabbed
// so that no other program's keys come in between. Given a resource of the hold's connection, it
// ends that connection with the server grabbed and takes the keyboard in the same moment, so
// that keys typed while it lets go come to it and go behind the held ones, never in front of
// them. A selection made for a paste that never went out is collapsed first, so that the keys
// land behind it instead of replacing it.
//
// Once it has ended the connection, every write of ours to it fails: the process must not be
// ended by SIGPIPE for that, so the watchdog's owner ignores that signal.
class X11HoldWatchdog {
public:
    // A key as the server reported it to the hold.
    struct Key {
        bool press;
        quint8 keyCode;
        quint16 state;
        quint32 time;
    };
    // What the watchdog did when it let go of the keyboard.
    struct LetGo {
        // It typed the keys last owed; otherwise they are still the hold's to type.
        bool typedOwed = false;
        // The keys it read from the connection and typed, as the server reported them.
        QList<Key> fromConnection;
    };

    // `displayName`: where its own connection for typing goes; without one it only lets go.
    // `connectionResource`: a resource of the hold's connection (0: none, the connection's end
    // then leaves a moment in which keys reach the focused window before the held ones).
    X11HoldWatchdog(int connectionSocket, const char* displayName, quint32 connectionResource = 0);
    ~X11HoldWatchdog();
    X11HoldWatchdog(const X11HoldWatchdog&) = delete;
    X11HoldWatchdog& operator=(const X11HoldWatchdog&) = delete;

    // Lets go of the keyboard unless told otherwise within `seconds`.
    void arm(double seconds) { tell(qint64(seconds * 1000)); }
    void disarm() { tell(-1); }

    // The keys taken from the connection and not typed again yet, in their order: the
    // watchdog types them when it lets go. Each call replaces the last. The first `sending`
    // of them are going out right now, followed on the hold's connection by `mark` written to
    // sentMarkWindow()'s sentMarkAtom() property: the watchdog types them only when the server
    // never carried out that write, so that a stop between a key going out and this call that
    // follows it neither loses the key nor types it twice.
    void owe(const QList<Key>& keys, int sending = 0, quint32 mark = 0);
    // Where the hold writes the mark of keys it has sent; 0 when the watchdog cannot look.
    quint32 sentMarkWindow() const { return m_markWindow; }
    quint32 sentMarkAtom() const { return m_markAtom; }
    // A key that collapses a selection in the focused field to its end, typed before the keys
    // owed when it lets go; 0 for none. Not typed when the server wrote `unlessMark` (not 0),
    // which follows the paste keys over that selection. Each call replaces the last.
    void collapseSelectionFirst(unsigned keyCode, quint32 unlessMark = 0);
    // The hold's connection has the server grabbed (from before the grab is sent until after
    // its end has gone out): letting go, the watchdog then ends that connection at once, as the
    // keyboard is not grabbed then and nothing of ours is carried out before that end.
    void setServerGrabbed(bool grabbed);
    // The window that had the focus as the hold grabbed the keyboard (or the root): letting go,
    // the watchdog grabs the keyboard inside it.
    void setFocusWindow(quint32 window);
    // The window the hold's keyboard grab is on: letting go while the hold has the server
    // grabbed, the watchdog has the hold's connection grab the keyboard there again first.
    void setGrabWindow(quint32 window);
    // Whether it has let go of the keyboard (the connection is then no longer to be read).
    bool hasLetGo() const;
    // Once it has: what it typed (waits briefly for it to finish).
    LetGo letGo();

    struct Shared;

private:
    void tell(qint64 milliseconds);

    pid_t m_child = -1;
    int m_channel = -1;
    Shared* m_shared = nullptr;
    xcb_connection_t* m_typing = nullptr;
    quint32 m_markWindow = 0;
    quint32 m_markAtom = 0;
};
