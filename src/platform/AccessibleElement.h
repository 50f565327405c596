#pragma once

#include <QString>
#include <optional>

// A range of text in UTF-16 code units (what the engine's QString offsets count). Back ends
// whose accessibility interface counts characters (AT-SPI counts code points) convert at
// the boundary. Negative values are passed on as read; the caller rejects them.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// What kind of field an element is. Back ends map their own roles and states onto these
// (AT-SPI: entry and text with the multi-line state -> multiLine, without it -> singleLine,
// combo box -> singleLine, password text -> password).
enum class FieldKind {
    singleLine,
    multiLine,
    password,
    other,
};

// The focused UI element of another application, reached through the desktop's
// accessibility interface, as the engine asks about a text field. Every question is a request
// to that application and may fail or time out (nothing comes back then); none throws.
// Main thread only.
class AccessibleElement {
public:
    virtual ~AccessibleElement() = default;

    // Bounds each later request on this element to `seconds` (the engine uses 0.03).
    virtual void setMessagingTimeout(double seconds) = 0;

    virtual std::optional<FieldKind> kind() = 0;
    // Elements that do not say whether they are enabled answer nothing.
    virtual std::optional<bool> isEnabled() = 0;
    // Whether its text can be selected and replaced through the accessibility interface; the
    // back end also answers false for toolkits whose fields take no replacement.
    virtual std::optional<bool> isEditable() = 0;
    // The selection, or the caret as a range of length 0.
    virtual std::optional<TextRange> selectedRange() = 0;
    // The text in the range; nothing when the range lies outside the text.
    virtual std::optional<QString> textIn(TextRange range) = 0;
    // Selects the range; true when the application reports success.
    virtual bool select(TextRange range) = 0;

    // Both objects stand for the same UI element of the same application (two queries for
    // the focused element of an unchanged application give equal elements).
    virtual bool isEqual(const AccessibleElement& other) const = 0;

    // Whether a selected text range that was set successfully is in place once the request
    // has been answered, so that reading it back would only repeat the answer. Applications
    // that apply it later (browsers) say false.
    virtual bool appliesSelectionAtOnce() const { return false; }
    // Whether a selection asked for is applied before any key that reaches the application
    // after the request (Gecko's pages). Chromium hands it to its page on another way than the
    // keys, and a key that comes later can overtake it.
    virtual bool appliesSelectionBeforeLaterKeys() const { return false; }
    // Whether keys that reach the application right behind a paste key are handled before the
    // paste (Thunderbird: Gecko reads the clipboard for a paste by running its event loop, which
    // takes the keys queued meanwhile; its editors live in that process, unlike Firefox's pages).
    virtual bool handlesKeysBehindPasteFirst() const { return false; }
};
