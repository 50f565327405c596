#pragma once

#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <sys/types.h>

// Keeps the user's clipboard outside this process while an expansion stands in for it. When
// this process ends without having put it back (killed, crashed), the X server drops our
// clipboard with our connection and the user's contents would be gone: a process started at
// start (this program again, in the mode `giveBackArgument` names) waits for us to end, then
// offers the kept contents as the clipboard until someone copies something else.
//
// It offers our expansions too, from its own connection to the display: the paste keys may
// already wait in the target's queue when we end, and the target would then ask a clipboard
// nobody owns (the trigger, selected for the paste, replaced by nothing). Offered by it, the
// expansion is there whenever we end; it answers only the application the expansion is for
// (another that had an earlier one on its way gets that one, anyone else, such as a clipboard
// manager, the user's contents), counts that application's reads for us, and once we have
// ended waits a moment for the paste before giving the user's contents back. Where it could
// not take the offer, we offer the expansion ourselves and it takes the clipboard over when
// we end.
//
// The contents live in anonymous files shared with that process; between the fork and its
// start only functions that are safe there are called (fcntl, dup2, open, close, execv, _exit).
class X11ClipboardKeeper {
public:
    // The argument that starts `program` in the mode that gives the contents back.
    static constexpr const char* giveBackArgument = "--give-back-clipboard";
    // How long the giving back waits for the target's paste before giving the user's contents
    // back, and how long after the first answer it goes on answering the target's questions.
    static constexpr int pasteWaitMilliseconds = 2000;
    static constexpr int afterPasteMilliseconds = 250;

    explicit X11ClipboardKeeper(const QString& program);
    // A normal end gives back what is still entrusted, as any other end does.
    ~X11ClipboardKeeper();
    X11ClipboardKeeper(const X11ClipboardKeeper&) = delete;
    X11ClipboardKeeper& operator=(const X11ClipboardKeeper&) = delete;

    // The contents to give back should this process end now; none once they are back.
    void entrust(const QList<PasteboardItem>& items);
    // The expansion on the clipboard for a paste by the application whose X connection
    // `client` names (0: whoever asks), and our own connection's `owner` id; an empty item once
    // that application has asked for it or the expansion is gone.
    void lendExpansion(const PasteboardItem& expansion, quint32 client = 0, quint32 owner = 0);
    // Has the giving-back process offer the expansion as the clipboard itself, answering only
    // that application with it (others get the entrusted contents), so that a paste on its way
    // finds it there whenever this process ends. Answers the window that now owns the
    // clipboard, 0 when it could not (the caller then offers it itself).
    quint32 offerExpansion(const PasteboardItem& expansion, quint32 client, quint32 owner);
    // How often that application has asked for the expansion offered last.
    qint64 expansionReads() const;
    // Whether it holds user's contents to give back (and offers them to whoever is not owed an
    // expansion).
    bool keepsContents() const { return m_contents.isLive(); }

    // The mode `giveBackArgument` starts. Waits until the program that started it ends, answers
    // a paste on its way, then offers the entrusted contents as the clipboard until another
    // program owns it (or ends at once when nothing is to be given back).
    static int giveBack(int& argc, char** argv);

private:
    class Record {
    public:
        explicit Record(const char* name);
        ~Record();
        Record(const Record&) = delete;
        Record& operator=(const Record&) = delete;
        int descriptor() const { return m_descriptor; }
        // Writes the bytes unless they are those written last; live afterwards unless that
        // failed.
        void put(const QByteArray& bytes);
        void setLive(bool live);
        bool isLive() const { return m_live; }

    private:
        int m_descriptor = -1;
        QByteArray m_written;
        bool m_hasWritten = false;
        bool m_live = false;
    };

    Record m_contents{"velmora-clipboard"};
    Record m_expansion{"velmora-expansion"};
    int m_channel = -1;
    // The giving back's answers to offerExpansion().
    int m_replies = -1;
    pid_t m_child = -1;
};
