#pragma once

#include "Engine/ExpansionClipboard.h"

class Pasteboard;

// The system clipboard as a replacement sees it.
class SystemExpansionClipboard final : public ExpansionClipboard {
public:
    // Contents beyond these limits are not saved, and an expansion is not made over them.
    static constexpr qsizetype mostItems = 128;
    static constexpr qsizetype mostTypesPerItem = 128;
    static constexpr qint64 largestSnapshotBytes = 33'554'432;

    explicit SystemExpansionClipboard(Pasteboard& board)
        : m_board(board)
    {
    }

    qint64 changeCount() override;
    // Nothing also when the contents changed while they were being read. An empty
    // clipboard snapshots as no items.
    std::optional<QList<ClipboardItemSnapshot>> snapshot() override;
    ClipboardWriteReceipt write(const QList<ClipboardItemSnapshot>& items) override;
    std::optional<ClipboardWriteReceipt> writeOver(
        qint64 changeCount, const QList<ClipboardItemSnapshot>& items) override;
    std::optional<qint64> readsByFocusedApplication() override;
    std::optional<bool> holdsWrite(qint64 changeCount) override;
    void entrust(const QList<ClipboardItemSnapshot>& items) override;

private:
    Pasteboard& m_board;
};
