#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// One type of one clipboard item with its bytes.
struct ClipboardRepresentation {
    QString type;
    QByteArray data;

    friend bool operator==(const ClipboardRepresentation&, const ClipboardRepresentation&) = default;
};

// One clipboard item, its representations in the order the clipboard lists its types.
struct ClipboardItemSnapshot {
    QList<ClipboardRepresentation> representations;

    friend bool operator==(const ClipboardItemSnapshot&, const ClipboardItemSnapshot&) = default;
};

struct ClipboardWriteReceipt {
    qint64 changeCount = 0; // the change count the write produced
    bool succeeded = false;
};

// The clipboard a replacement borrows. Main thread only.
class ExpansionClipboard {
public:
    virtual ~ExpansionClipboard() = default;

    virtual qint64 changeCount() = 0;
    // Every item with every type; nothing when the contents cannot be saved whole.
    virtual std::optional<QList<ClipboardItemSnapshot>> snapshot() = 0;
    // Replaces the contents with the items.
    virtual ClipboardWriteReceipt write(const QList<ClipboardItemSnapshot>& items) = 0;
    // Replaces the contents with the items only while they are still those of our write that
    // produced the change count: someone who copied since keeps theirs. Nothing then.
    virtual std::optional<ClipboardWriteReceipt> writeOver(
        qint64 changeCount, const QList<ClipboardItemSnapshot>& items)
    {
        if (this->changeCount() != changeCount || holdsWrite(changeCount) == false)
            return std::nullopt;
        return write(items);
    }
    // How often the application with the keyboard focus has asked for the contents since our
    // last write, others (clipboard managers) not counted; nothing when the clipboard cannot
    // tell.
    virtual std::optional<qint64> readsByFocusedApplication() { return std::nullopt; }
    // Whether the contents are still those of the write that produced the change count, when
    // the clipboard can tell without reading them; nothing otherwise.
    virtual std::optional<bool> holdsWrite(qint64 /*changeCount*/) { return std::nullopt; }
    // The user's contents an expansion is about to stand in for, given back by someone else
    // should this process end while it offers them or the expansion; none once another
    // program has the clipboard.
    virtual void entrust(const QList<ClipboardItemSnapshot>& /*items*/) { }
};
