#pragma once

#include "platform/AccessibleElement.h"

#include <QString>
#include <optional>

// The text field a replacement acts on. Ranges count UTF-16 code units. Main thread only.
class ExpansionTarget {
public:
    virtual ~ExpansionTarget() = default;

    // Still the focused, editable field of the same application.
    virtual bool isFocusedAndEditable() = 0;
    // The selected range (length 0: the caret), or nothing when it cannot be read.
    virtual std::optional<TextRange> selection() = 0;
    virtual std::optional<QString> text(TextRange range) = 0;
    virtual bool select(TextRange range) = 0;
    // Pastes the clipboard into the field if it is still focused and editable; true when the
    // paste keys were posted.
    virtual bool paste() = 0;

    // Lets the next isFocusedAndEditable() take an answer asked for together with the request
    // that follows this call (see AccessibleElement::askStatesAhead()); a no-op where requests
    // cannot go together.
    virtual void askFocusAhead() {}

    // Whether the target selects the trigger and pastes over it in one step (pasteOver())
    // instead of having the selection read back before the paste: where the user's keys cannot
    // be held, a key typed while the selection is waited for would replace the trigger.
    virtual bool selectsWhilePasting() const { return false; }
    // Selects the range, whose end the caret must still be at, and pastes the clipboard over
    // it at once, if the field is still focused and editable; true when the paste was posted.
    // With `typedOnBehind`, the caret may also stand further on at the end of the text, where
    // the paste takes it back.
    virtual bool pasteOver(TextRange /*range*/, bool /*typedOnBehind*/) { return false; }
    // Whether keys of the last paste are still on their way to the application.
    virtual bool pasteKeysPending() { return false; }
    // Takes back the keys of the last paste not sent yet; true when the paste key itself was
    // among them, so that no paste is coming.
    virtual bool withdrawPaste() { return false; }
};
