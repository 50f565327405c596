#pragma once

#include "X11SelectionAnswer.h"
#include "platform/Pasteboard.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <utility>

class QMimeData;
class X11ClipboardKeeper;

// The X11 CLIPBOARD selection through QClipboard, as one item whose representations are the
// owner's formats. X11 keeps no change count, so one is kept here: it moves on every change
// Qt reports and on every write of ours, and not again for the ownership changes that our own
// writes cause.
class QtClipboardPasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    // How long contents whose owner did not answer count as unreadable before it is asked again.
    static constexpr int unansweredRetryMilliseconds = 10'000;
    explicit QtClipboardPasteboard(QObject* parent = nullptr);
    ~QtClipboardPasteboard() override;

    qint64 changeCount() override;
    qsizetype itemCount() override;
    QStringList itemTypes(qsizetype item) override;
    std::optional<QByteArray> data(qsizetype item, const QString& type) override;
    QStringList types() override;
    qint64 clearContents() override;
    // Asks the X server who owns the clipboard right before taking it: ours are Qt's window, the
    // giving back's while it offers our expansion, or nobody's after a clear of ours.
    std::optional<qint64> clearOwnContents(qint64 changeCount) override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    // Requests for the data of our own contents (not their list of formats) from the
    // application with the keyboard focus; nothing off X11.
    std::optional<qint64> readsByFocusedApplication() override;
    // One question to the X server: whether Qt still owns the selection with our contents.
    std::optional<bool> holdsOwnWrite(qint64 changeCount) override;
    // Kept for the applications that ask for our expansion without being the one it is for;
    // given to the keeper too once keepAfterExit() has started one.
    void entrust(const QList<PasteboardItem>& items) override;
    // Starts the process that gives entrusted contents back should this one end first;
    // `program` is this program, started again for that.
    void keepAfterExit(const QString& program);

private:
    class RequestWatch;

    // Answers a request for our contents ourselves where Qt would answer with the wrong ones:
    // the expansion goes only to the application it was put there for (the one with the
    // keyboard focus then); an application that had an earlier expansion on its way gets that
    // one, anyone else (a clipboard manager, a paste elsewhere) the user's contents it stands
    // in for. True when answered here.
    bool answerRequest(const xcb_selection_request_event_t& request);
    // True when the giving back offers it.
    bool lendExpansion(const PasteboardItem& item);
    quint32 currentOwner() const;
    // Carries out a clear put off by clearContents() that no write has replaced.
    void settleClear();
    void clearNow();
    // Clears the clipboard that clearNow() kept ours, offering nothing, while it still is.
    void clearOfferOfNothing();
    // Whether the giving back's window owns the clipboard: it takes it only when we ask it to
    // offer an expansion, and keeps it until someone else takes it.
    bool keeperHoldsClipboard() const;
    // Takes the clipboard from the giving back, leaving it to nobody, while it still holds it.
    void releaseFromKeeper();
    // The giving back holds the clipboard with neither an expansion of ours nor the user's
    // contents to offer.
    bool keeperHoldsNothingOfOurs() const;
    // The giving back left holding nothing of ours, with no expansion owed: nobody else can
    // paste from it, and it would pass for an owner that does not answer, whose contents cannot
    // be saved. It is let go of.
    void releaseOrphanedOffer();
    // Our expansion leaves the clipboard: if its application has not asked for it, that
    // application's paste may still come and is owed it for a while.
    void retireLent();

    const QMimeData* contents() const;
    QStringList formats() const;
    bool hasOtherOwner() const;

    // Our own contents while they offer text under the extra name only we gave it (it is not
    // read back, so that they read back as written). Only compared, never used.
    const QMimeData* m_aliasedText = nullptr;
    // The contents offering nothing that clearNow() put there, while Qt keeps them.
    QPointer<const QMimeData> m_offeringNothing;
    // Our last write's contents, while Qt keeps them.
    QPointer<const QMimeData> m_written;
    qint64 m_writtenChangeCount = -1;
    qint64 m_changeCount = 0;
    bool m_writing = false;
    // Qt hears of the server's notice of our own clear only later, and takes it for another
    // owner's change.
    bool m_clearNoticeDue = false;
    // A clear put off until a write replaces it, the change count it answered, and the giving
    // back's window when that offered our expansion then.
    bool m_clearDue = false;
    qint64 m_clearChangeCount = 0;
    quint32 m_clearOffer = 0;
    // The formats offered, for the change count they were read at.
    struct Formats {
        qint64 changeCount = 0;
        QStringList formats;
        QDeadlineTimer expiry;
    };
    mutable std::optional<Formats> m_formats;
    std::unique_ptr<RequestWatch> m_requestWatch;
    std::unique_ptr<X11ClipboardKeeper> m_keeper;
    std::unique_ptr<X11SelectionAnswer> m_answer;
    quint32 m_clipboardAtom = 0;
    qint64 m_reads = 0;
    // Our expansion on the clipboard and the application (X client) it is for, while our write
    // holds it.
    struct Lent {
        quint32 client = 0;
        PasteboardItem item;
        bool asked = false;
    };
    std::optional<Lent> m_lent;
    OwedExpansions m_owed;
    // The giving back's window while it offers our expansion.
    quint32 m_offeredBy = 0;
    // The giving back's window, once it has offered an expansion (it keeps one window).
    quint32 m_keeperWindow = 0;
    // The user's contents our expansion stands in for.
    PasteboardItem m_entrusted;
};
