#pragma once

#include "Engine/ExpansionTarget.h"
#include "platform/Desktop.h"
#include "platform/TextFieldEvents.h"

#include <memory>
#include <optional>
#include <utility>

class AccessibleElement;

// A field followed through its own reports, as the target of a paste: where a field's text
// cannot be edited by offsets (a browser's page), the trigger is selected through the
// accessibility interface and the expansion pasted over it with the desktop's keyboard.
// Nothing holds the user's keys meanwhile. Chromium hands the selection to its page on another
// way than the keys, so a paste sent at once can overtake it and land behind the trigger, with
// the selection then taken by the keys typed on: there the paste goes out only once the field
// shows the selection, which the page reports only after applying it, before any key that comes
// after. Keys typed in that moment take the trigger's place in the order typed, which the
// replacement can put right. Gecko applies the selection before later keys coming from the
// desktop portal's keyboard (GNOME): the paste follows it at once there, which leaves the least
// time for a key to come between; not before those of a keyboard of our own (sway). Selecting
// with keys instead (Shift+Left) would keep the order with the paste, but the engine learns of
// the user's keys only from the field's reports, after they reached it: a key on its way would
// be taken into the selection in the trigger's place. The field's reports say whether it still has the focus; the application's focused
// element, in UTF-16 ranges, is what is selected and read.
class FieldPasteTarget final : public ExpansionTarget {
public:
    // The field as the application's focused element; nothing when it is not focused,
    // not editable, a password field, or its application cannot be told. `keysOvertakePaste`:
    // the application was seen handling keys sent behind a paste before the paste (see
    // keysOvertookPaste()).
    static std::shared_ptr<FieldPasteTarget> make(
        const Desktop& desktop, std::shared_ptr<EditableTextField> field, bool keysOvertakePaste = false);

    bool isFocusedAndEditable() override;
    std::optional<TextRange> selection() override;
    std::optional<QString> text(TextRange range) override;
    bool select(TextRange range) override;
    bool paste() override;
    // Nothing holds the user's keys on these desktops.
    bool selectsWhilePasting() const override { return true; }
    bool selectForPaste(TextRange range, qint64 lengthBefore) override;
    std::optional<qint64> textLength() override;
    bool pasteSelection() override;
    bool pastesOnceSelectionShows() const override;
    bool showsSelectionBeforeEarlierKeys() const override;
    // A keyboard that may send no modifier sends each key once the portal has taken the one
    // before: End would follow the paste a round trip later.
    bool pastesKeysBehindAgain() const override;
    bool pasteKeysPending() override;
    bool withdrawPaste() override;
    bool canStillPaste() override;
    bool pasteLost() override;
    // Whether the field took a paste behind the selection it showed, the End sent with the paste
    // handled first: Thunderbird's compose window on sway reads the clipboard for a paste by
    // running its event loop, which handles the keys queued behind the paste meanwhile (the
    // trigger stayed, with the expansion behind it, 5 of 5 tries). From then on End goes with
    // no paste: keys that reached the field behind the trigger are selected with it and pasted
    // again behind the expansion instead.
    bool keysOvertookPaste() const { return m_keysOvertakePaste; }

private:
    bool post(bool goToEnd);

    FieldPasteTarget(const Desktop& desktop, std::shared_ptr<EditableTextField> field,
        std::shared_ptr<AccessibleElement> element, qint64 process);

    Desktop m_desktop;
    std::shared_ptr<EditableTextField> m_field;
    std::shared_ptr<AccessibleElement> m_element;
    qint64 m_process;
    // Presses of other keys than modifiers the last paste posted (the paste key first).
    qsizetype m_pastePresses = 0;
    // Whether the range selected for the paste ended at the end of the text.
    bool m_selectedAtEnd = false;
    bool m_keysOvertakePaste = false;
    // The range selected for the last paste that went with End, and what it held: selected again
    // from the same place with that text still at its start, the paste had landed behind it.
    std::optional<std::pair<TextRange, QString>> m_pastedWithEnd;
    std::optional<std::pair<TextRange, QString>> m_selected;
};
