#pragma once

#include "Engine/ExpansionTarget.h"
#include "platform/Desktop.h"

#include <memory>

// The focused text field of the application in front, reached through the desktop's
// accessibility interface. Any enabled element of another application whose text is
// editable (its selected range settable) and readable qualifies, whatever its role, unless it
// is a secure field. A target never becomes invalid by itself: once
// focus moves on, its focus test fails and so do its operations. Finding a target asks the
// field several questions; the focus test only whether it still has the focus and is still
// enabled and editable (its kind does not change), so a target is worth keeping while the
// user types into one field.
class AccessibilityExpansionTarget final : public ExpansionTarget {
public:
    // Seconds each accessibility request may take before it counts as failed.
    static constexpr double messagingTimeout = 0.03;

    // The focused editable text field of the frontmost other application, or nothing (also
    // while secure input is on, without trust, or when this application is in front).
    static std::shared_ptr<AccessibilityExpansionTarget> focused(const Desktop& desktop = Desktop::current());

    qint64 process() const { return m_process; }
    // The same UI element of the same process.
    bool isSameField(const AccessibilityExpansionTarget& other) const;

    bool isFocusedAndEditable() override;
    std::optional<TextRange> selection() override;
    std::optional<QString> text(TextRange range) override;
    bool select(TextRange range) override;
    bool paste() override;
    std::optional<QString> textToCaretInFocusedElement() override;
    std::shared_ptr<ExpansionTarget> focusedElementInstead() override;

private:
    AccessibilityExpansionTarget(const Desktop& desktop, std::shared_ptr<AccessibleElement> element, qint64 process);

    bool isEditable();
    // What has been established about the field in this turn of the event loop: within one
    // turn nothing can come between (the user's keys are held, and the desktop's events wait
    // for the loop), so it need not be asked again.
    struct Turn {
        bool over = false;
        bool focusConfirmed = false;
        // A selection set in a field that applies it at once.
        std::optional<TextRange> selection;
    };
    Turn& thisTurn();
    bool focusConfirmedThisTurn() const { return m_turn && !m_turn->over && m_turn->focusConfirmed; }
    // Of the application's focused element as it answers now.
    bool isEnabledAndSettable(AccessibleElement& element);

    Desktop m_desktop;
    std::shared_ptr<AccessibleElement> m_element;
    qint64 m_process;
    std::shared_ptr<Turn> m_turn;
};
