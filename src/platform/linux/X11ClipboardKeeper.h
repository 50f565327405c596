#pragma once

#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <sys/types.h>

// Keeps the user's clipboard outside this process while an expansion stands in for it. When
// this process ends without having put it back (killed, crashed), the X server drops our
// clipboard with our connection and the user's contents would be gone: a small process forked
// at start, which only waits for us to end, then starts this program again in a mode that
// offers the kept contents as the clipboard until someone copies something else.
//
// The contents live in an anonymous file shared with that process; after the fork it only
// calls functions that are safe there (poll, read, pread, dup2, execv, _exit).
class X11ClipboardKeeper {
public:
    // The argument that starts `program` in the mode that gives the contents back, read from
    // descriptor 3.
    static constexpr const char* giveBackArgument = "--give-back-clipboard";

    explicit X11ClipboardKeeper(const QString& program);
    // A normal end leaves nothing to give back.
    ~X11ClipboardKeeper();
    X11ClipboardKeeper(const X11ClipboardKeeper&) = delete;
    X11ClipboardKeeper& operator=(const X11ClipboardKeeper&) = delete;

    // The contents to give back should this process end now; none once they are back.
    void entrust(const QList<PasteboardItem>& items);

    // The mode `giveBackArgument` starts: offers what descriptor 3 holds as the clipboard and
    // ends once another program owns it (or nothing is to be given back). A QGuiApplication
    // must exist.
    static int giveBack();

private:
    void setLive(bool live);

    int m_contents = -1;
    int m_channel = -1;
    pid_t m_child = -1;
    QList<PasteboardItem> m_entrusted;
    bool m_live = false;
};
