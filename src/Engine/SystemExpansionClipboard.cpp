#include "Engine/SystemExpansionClipboard.h"

#include "platform/Pasteboard.h"

qint64 SystemExpansionClipboard::changeCount()
{
    return m_board.changeCount();
}

std::optional<QList<ClipboardItemSnapshot>> SystemExpansionClipboard::snapshot()
{
    const qint64 before = m_board.changeCount();
    const qsizetype itemCount = m_board.itemCount();
    if (itemCount == 0) {
        // Types announced without a readable item cannot be restored.
        if (!m_board.types().isEmpty() || m_board.changeCount() != before)
            return std::nullopt;
        return QList<ClipboardItemSnapshot>();
    }
    if (itemCount > mostItems)
        return std::nullopt;

    QList<ClipboardItemSnapshot> items;
    qint64 total = 0;
    for (qsizetype item = 0; item < itemCount; ++item) {
        const QStringList types = m_board.itemTypes(item);
        if (types.isEmpty() || types.size() > mostTypesPerItem)
            return std::nullopt;
        ClipboardItemSnapshot snapshot;
        for (const QString& type : types) {
            std::optional<QByteArray> data = m_board.data(item, type);
            if (!data)
                return std::nullopt;
            total += data->size();
            if (total > largestSnapshotBytes)
                return std::nullopt;
            snapshot.representations.append(ClipboardRepresentation{type, std::move(*data)});
        }
        items.append(std::move(snapshot));
    }
    if (m_board.changeCount() != before)
        return std::nullopt;
    return items;
}

namespace {
QList<PasteboardItem> boardItems(const QList<ClipboardItemSnapshot>& items)
{
    QList<PasteboardItem> boardItems;
    for (const ClipboardItemSnapshot& item : items) {
        PasteboardItem boardItem;
        for (const ClipboardRepresentation& representation : item.representations)
            boardItem.append({representation.type, representation.data});
        boardItems.append(std::move(boardItem));
    }
    return boardItems;
}
} // namespace

ClipboardWriteReceipt SystemExpansionClipboard::write(const QList<ClipboardItemSnapshot>& items)
{
    const QList<PasteboardItem> boardItems = ::boardItems(items);
    const qint64 changeCount = m_board.clearContents();
    if (boardItems.isEmpty())
        return ClipboardWriteReceipt{changeCount, true};
    return ClipboardWriteReceipt{changeCount, m_board.writeItems(boardItems)};
}

std::optional<ClipboardWriteReceipt> SystemExpansionClipboard::writeOver(
    qint64 changeCount, const QList<ClipboardItemSnapshot>& items)
{
    const QList<PasteboardItem> boardItems = ::boardItems(items);
    const std::optional<qint64> cleared = m_board.clearOwnContents(changeCount);
    if (!cleared)
        return std::nullopt;
    if (boardItems.isEmpty())
        return ClipboardWriteReceipt{*cleared, true};
    return ClipboardWriteReceipt{*cleared, m_board.writeItems(boardItems)};
}

std::optional<qint64> SystemExpansionClipboard::readsByFocusedApplication()
{
    return m_board.readsByFocusedApplication();
}

std::optional<bool> SystemExpansionClipboard::holdsWrite(qint64 changeCount)
{
    return m_board.holdsOwnWrite(changeCount);
}

void SystemExpansionClipboard::entrust(const QList<ClipboardItemSnapshot>& items)
{
    m_board.entrust(boardItems(items));
}
