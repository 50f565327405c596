#pragma once

#include "platform/Pasteboard.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;
typedef struct _XDisplay Display;
union _XEvent;

// The Wayland clipboard of a compositor that lets no client without the keyboard focus set it
// (GNOME's mutter, KDE's KWin), reached through the compositor's XWayland: the compositor makes
// the CLIPBOARD selection of its X server the clipboard of its Wayland clients and the other way
// round, and an X client may own that selection at any time. The X connection is opened only at
// the first use (an XWayland started on demand starts then), not when the program starts. One
// item at most, its types the owner's target names (MIME types, and X's own such as
// UTF8_STRING), passed on unchanged. The change count moves on every new owner or new contents
// the server reports (XFixes), and on each write of ours, but not again for the report of that
// write. Our own contents are served from memory for as long as we own the selection. Contents
// larger than one X request are neither read nor written: a board that could not put them back
// must not take them away.
class XWaylandPasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    // How long another owner may take to hand over one type's bytes.
    static constexpr int readTimeoutMilliseconds = 1000;

    // Nothing when there is no X display to reach (`display` empty and DISPLAY unset).
    static std::unique_ptr<XWaylandPasteboard> create(const QString& display = {});
    ~XWaylandPasteboard() override;

    qint64 changeCount() override;
    qsizetype itemCount() override;
    QStringList itemTypes(qsizetype item) override;
    std::optional<QByteArray> data(qsizetype item, const QString& type) override;
    QStringList types() override;
    qint64 clearContents() override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    // Every read goes through the compositor, which does not say for whom: every read of our
    // contents' data counts, and the paste is confirmed in the field itself.
    std::optional<qint64> readsByFocusedApplication() override;
    std::optional<bool> holdsOwnWrite(qint64 changeCount) override;

private:
    struct Source {
        PasteboardItem item;
        // Offered as well, without being part of the contents: readers that ask for plain text
        // by another name find ours.
        QStringList aliases;
        unsigned long time = 0;
        qint64 reads = 0;
        std::optional<QByteArray> bytes(const QString& type) const;
    };

    explicit XWaylandPasteboard(QByteArray displayName);
    bool connected();
    // Lets go of the connection (also one whose server is gone).
    void dropConnection();
    unsigned long atom(const QString& name);
    QString atomName(unsigned long atom);
    // A timestamp of the server's, for taking the selection.
    unsigned long serverTime();
    void processEvents();
    void handle(_XEvent& event);
    void answer(const _XEvent& request);
    // Waits for the next event on our window that `wanted` accepts; other events stay queued.
    bool waitFor(_XEvent& event, const std::function<bool(const _XEvent&)>& wanted, const QDeadlineTimer& deadline);
    // The bytes another owner gives for a target, whole (also when it sends them in parts).
    std::optional<QByteArray> convert(unsigned long target, unsigned long* type = nullptr);
    bool own(std::unique_ptr<Source> source);
    // Empties the selection for the server after a clearContents() that no write followed.
    void finishClearing();
    qint64 largestTransfer() const;

    QByteArray m_displayName;
    Display* m_display = nullptr;
    unsigned long m_window = 0;
    int m_fixesEventBase = -1;
    QSocketNotifier* m_notifier = nullptr;
    QHash<QString, unsigned long> m_atoms;
    QHash<unsigned long, QString> m_names;
    bool m_failed = false;
    // The server went away (set from Xlib's report of the broken connection).
    bool m_lost = false;
    QMetaObject::Connection m_aboutToBlock;
    std::unique_ptr<Source> m_source;
    bool m_clearPending = false;
    // The timestamps of our own changes of owner, whose reports are not changes of contents.
    QList<unsigned long> m_ownTimes;
    qint64 m_changeCount = 0;
    std::optional<std::pair<qint64, QStringList>> m_types;
};
