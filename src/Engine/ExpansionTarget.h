#pragma once

#include "platform/AccessibleElement.h"

#include <QString>
#include <memory>
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

    // Whether the target pastes over a selection the moment the field shows it, with the
    // user's keys going on meanwhile (selectForPaste(), pasteSelection()), instead of having
    // the selection read back with the keys held: a key typed while the paste is prepared may
    // take the trigger's place.
    virtual bool selectsWhilePasting() const { return false; }
    // Whether the paste waits until the field shows the selection, rather than following the
    // request at once: where a key typed later can overtake the selection.
    virtual bool pastesOnceSelectionShows() const { return true; }
    // Whether the field may show a selection a moment before the text of a key it applied
    // first: a selection found with nothing behind it must read back so twice before the paste.
    virtual bool showsSelectionBeforeEarlierKeys() const { return false; }
    // Selects the range, whose end the caret must still be at, for a paste over it, if the
    // field is still focused and editable; true when the selection was asked for. `lengthBefore`
    // is the text's length when the range was found: where the range ended there, keys may have
    // reached the field behind it since.
    virtual bool selectForPaste(TextRange /*range*/, qint64 /*lengthBefore*/) { return false; }
    // The length of the field's text; nothing when it cannot be read.
    virtual std::optional<qint64> textLength() { return std::nullopt; }
    // Pastes the clipboard over what selectForPaste() selected (where that range ended at the
    // end of the text, the caret goes there with the paste, behind keys that reached the field
    // meanwhile), if the field is still focused and editable; true when the paste was posted.
    virtual bool pasteSelection() { return false; }
    // Whether keys that reached the field behind the trigger are selected with it and pasted
    // again behind the expansion, which leaves the caret behind them, instead of being passed
    // over by going to the end with the paste. Where the key that goes to the end follows the
    // paste only a round trip later, a key typed in that moment lands in front of the keys
    // before it.
    virtual bool pastesKeysBehindAgain() const { return false; }
    // Whether keys of the last paste are still on their way to the application.
    virtual bool pasteKeysPending() { return false; }
    // Takes back the keys of the last paste not sent yet; true when the paste key itself was
    // among them, so that no paste is coming.
    virtual bool withdrawPaste() { return false; }
    // Whether the keys of a paste can still reach the field (a desktop's keyboard session may
    // have ended): asked before the clipboard or the field is changed.
    virtual bool canStillPaste() { return true; }
    // Whether the paste key was refused on its way: no paste is coming, and withdrawPaste()
    // says so.
    virtual bool pasteLost() { return false; }
    // Where the application has moved the focus from the field's element to another editable
    // one of its own (a word processor whose paragraphs are elements of their own, after a paste
    // that made new ones): that element's text up to its caret. Nothing where the field's own
    // element still has the focus, or the other element cannot be read.
    virtual std::optional<QString> textToCaretInFocusedElement() { return std::nullopt; }
    // Where the application has made the field's text an element anew as it took the paste,
    // which took the focus while the field's own element no longer answers (LibreOffice's title
    // placeholder, which also leaves that element's caret at the start of the text): that
    // element. Nothing while the field's own element answers.
    virtual std::shared_ptr<ExpansionTarget> focusedElementInstead() { return nullptr; }
};
