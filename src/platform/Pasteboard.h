#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// One pasteboard item: its representations (MIME type, bytes) in order.
using PasteboardItem = QList<std::pair<QString, QByteArray>>;

// MIME types the replacement writes.
namespace ClipboardFormats {
inline const QString utf8Text = QStringLiteral("text/plain;charset=utf-8");
// Marks the clipboard contents as a replacement's own, so that clipboard managers and our
// own restore can tell them from what the user copied.
inline const QString expansionMarker = QStringLiteral("application/x-velmora-temporary-expansion");
// Read by clipboard managers: KDE's Klipper and CopyQ keep no history of contents offered with
// this type saying "secret" (a password manager's), CopyQ none of those offered with the next
// saying "1".
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");
inline const QString hiddenFromHistory = QStringLiteral("application/x-copyq-hidden");
} // namespace ClipboardFormats

// The system clipboard. Types are MIME types ("text/plain;charset=utf-8", "text/html",
// "image/png", ...), passed on as the owner names them, so that contents read and written
// back are the same formats with the same bytes. Main thread only; reads of another owner's data are
// synchronous.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Moves up whenever the contents or their owner change, by our writes as by anyone
    // else's; never moves down. Equal counts mean untouched contents.
    virtual qint64 changeCount() = 0;

    // The items now offered, in order (X11 offers one item at most). 0 for an empty board.
    virtual qsizetype itemCount() = 0;
    // The types of one item, in the owner's order, without meta-targets such as TARGETS.
    virtual QStringList itemTypes(qsizetype item) = 0;
    // The bytes of one type of one item; nothing when the owner does not deliver them.
    virtual std::optional<QByteArray> data(qsizetype item, const QString& type) = 0;
    // The types the board as a whole announces, which can be non-empty while no item can be
    // read.
    virtual QStringList types() = 0;

    // Empties the board and takes ownership of it; answers the change count this produced.
    virtual qint64 clearContents() = 0;
    // Empties the board and takes ownership of it as clearContents() does, only while it still
    // holds our write that produced the change count, told at the last moment before it is
    // taken: someone who copied a moment ago keeps their contents even before we hear of it.
    // Nothing when they are no longer ours.
    virtual std::optional<qint64> clearOwnContents(qint64 changeCount)
    {
        if (this->changeCount() != changeCount || holdsOwnWrite(changeCount) == false)
            return std::nullopt;
        return clearContents();
    }
    // Puts the items on the board emptied by the last clearContents(), which they belong
    // to: the change count stays at what clearContents() answered. False when the board
    // refuses them (X11: more than one item).
    virtual bool writeItems(const QList<PasteboardItem>& items) = 0;
    // How often the application with the keyboard focus has asked for the contents since our
    // last write (a paste asks; a clipboard manager, which asks for every new clipboard, is
    // not counted); nothing when the board cannot tell.
    virtual std::optional<qint64> readsByFocusedApplication() { return std::nullopt; }
    // Whether the board still holds the contents of our write that produced the change count,
    // told without reading them; nothing when the board cannot tell that way.
    virtual std::optional<bool> holdsOwnWrite(qint64 /*changeCount*/) { return std::nullopt; }
    // The user's contents that our write is about to stand in for, to be put back by someone
    // else should this process end while it offers them or our write; none once another
    // program has the clipboard.
    virtual void entrust(const QList<PasteboardItem>& /*items*/) { }
};
