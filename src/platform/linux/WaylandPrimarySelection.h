#pragma once

#include "platform/PrimarySelection.h"
#include "platform/Pasteboard.h"

#include <QtGlobal>
#include <optional>

class WaylandDataControlPasteboard;

// The seat's primary selection on compositors whose data control offers it (wlroots): a browser
// whose trigger was selected for the paste takes it over, so it is saved before and put back
// after, every type byte for byte, as the clipboard is. What was saved is read again only once
// the primary selection has changed since.
class WaylandPrimarySelection final : public PrimarySelection {
public:
    // The longest an owner may take to hand over all its types: the paste waits for it.
    static constexpr int readMilliseconds = 100;

    explicit WaylandPrimarySelection(WaylandDataControlPasteboard& board);

    void save() override;
    void restore() override;

private:
    WaylandDataControlPasteboard& m_board;
    // The change count the contents were read at, and the contents (empty: none).
    std::optional<qint64> m_savedAt;
    PasteboardItem m_saved;
};
