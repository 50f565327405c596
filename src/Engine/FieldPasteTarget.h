#pragma once

#include "Engine/ExpansionTarget.h"
#include "platform/Desktop.h"
#include "platform/TextFieldEvents.h"

#include <memory>

class AccessibleElement;

// A field followed through its own reports, as the target of a paste: where a field's text
// cannot be edited by offsets (a browser's page), the trigger is selected through the
// accessibility interface and the expansion pasted over it with the desktop's keyboard.
// Nothing holds the user's keys meanwhile, and a key typed between the selection and the paste
// would replace the trigger, so the paste follows the selection at once instead of after the
// selection has been read back (browsers report it tens of milliseconds late, several keys of
// a fast typist). Selecting with keys instead (Shift+Left) would be worse: the browsers report
// the caret late too, so keys typed behind the trigger could be taken into the selection. The
// field's reports say whether it still has the focus; the application's focused element, in
// UTF-16 ranges, is what is selected and read.
class FieldPasteTarget final : public ExpansionTarget {
public:
    // The field as the application's focused element; nothing when it is not focused,
    // not editable, a password field, or its application cannot be told.
    static std::shared_ptr<FieldPasteTarget> make(const Desktop& desktop, std::shared_ptr<EditableTextField> field);

    bool isFocusedAndEditable() override;
    std::optional<TextRange> selection() override;
    std::optional<QString> text(TextRange range) override;
    bool select(TextRange range) override;
    bool paste() override;
    // Nothing holds the user's keys on these desktops.
    bool selectsWhilePasting() const override { return true; }
    bool pasteOver(TextRange range, bool typedOnBehind) override;
    bool pasteKeysPending() override;
    bool withdrawPaste() override;

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
};
