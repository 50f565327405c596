#include "WaylandPrimarySelection.h"

#include "WaylandDataControlPasteboard.h"

WaylandPrimarySelection::WaylandPrimarySelection(WaylandDataControlPasteboard& board)
    : m_board(board)
{
}

void WaylandPrimarySelection::save()
{
    const qint64 count = m_board.primaryChangeCount();
    if (m_savedAt == count)
        return;
    m_savedAt.reset();
    std::optional<PasteboardItem> contents = m_board.primaryContents(readMilliseconds);
    if (contents && m_board.primaryChangeCount() == count) {
        m_saved = std::move(*contents);
        m_savedAt = count;
    }
}

void WaylandPrimarySelection::restore()
{
    // Unchanged since it was saved, or never saved whole: nothing to put back.
    if (!m_savedAt || m_board.primaryChangeCount() == *m_savedAt)
        return;
    if (m_board.writePrimary(m_saved))
        m_savedAt = m_board.primaryChangeCount();
    else
        m_savedAt.reset();
}
