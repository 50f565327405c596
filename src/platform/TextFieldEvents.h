#pragma once

#include "platform/AccessibleElement.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

// One text field of another application, reached without watching keys: through what the
// application itself reports about its fields. Offsets and lengths count in the application's
// own unit (characters for GTK, UTF-16 units for Qt) and are only ever compared with offsets the
// same application reported, so they are never converted. Every call is a request to that
// application and may fail; none throws. Main thread only.
class EditableTextField {
public:
    virtual ~EditableTextField() = default;

    struct State {
        bool focused = false;
        // Editable and enabled: the user could type here.
        bool editable = false;
        // What kind of field it is. A password field, or a field that cannot be told apart from
        // one, is `password`: nothing in it is ever read or replaced.
        FieldKind kind = FieldKind::other;
        // The application lets other programs change the text (insert and delete by offsets).
        bool offersEditing = false;
    };

    // Nothing when the application does not answer.
    virtual std::optional<State> state() = 0;
    // The application's name as it calls itself (for telling the user which one could not be
    // reached).
    virtual QString applicationName() = 0;
    // Same field of the same application.
    virtual bool isSameField(const EditableTextField& other) const = 0;
    // The process of the application the field belongs to; nothing when it does not say.
    virtual std::optional<qint64> processId() { return std::nullopt; }

    virtual std::optional<QString> text(qint64 start, qint64 end) = 0;
    virtual std::optional<qint64> caret() = 0;
    virtual std::optional<qint64> characterCount() = 0;
    virtual bool setCaret(qint64 offset) = 0;
    virtual bool deleteText(qint64 start, qint64 end) = 0;
    virtual bool insertText(qint64 offset, const QString& text) = 0;
    // How far replaceText() got: nothing made, the deletion only, the insertion too, or also the
    // caret put at the end.
    enum class Replaced { nothing, deleted, inserted, caretAtTheEnd };
    // Deletes from `start` to `end`, inserts `text` at `start` and, where `caretToTheEnd`, puts
    // the caret at the end of the text, one request right behind the other, stopping at the first
    // that fails. An application that takes the requests as they come makes them with as little
    // room as it can between them for a key typed meanwhile; the caret set to the end by the
    // application itself stands behind every key that landed there before it.
    virtual Replaced replaceText(qint64 start, qint64 end, const QString& text, bool caretToTheEnd)
    {
        if (!deleteText(start, end))
            return Replaced::nothing;
        if (!insertText(start, text))
            return Replaced::deleted;
        const std::optional<qint64> count = caretToTheEnd ? characterCount() : std::nullopt;
        return count && setCaret(*count) ? Replaced::caretAtTheEnd : Replaced::inserted;
    }
    // Whether an insertion right at the caret leaves the caret in front of it (GTK 4's entries:
    // their caret moves only for text inserted before it). Others put it behind.
    virtual bool leavesCaretInFrontOfInsertion() { return false; }
    // Whether every edit by offsets sends the caret to the end of the text (Qt's line edits set
    // their whole text anew for each).
    virtual bool sendsCaretToTheEnd() { return false; }
    // Whether text inserted by offsets in front of keys typed at the caret leaves the caret
    // behind those keys (Qt's text documents move their cursors along; GTK 3 puts the caret
    // right behind the insertion, in front of them).
    virtual bool caretStaysWithTypedKeys() { return false; }
};

// What a text field reported.
struct TextFieldEvent {
    enum class Kind {
        // The field got the focus.
        focused,
        // The field lost the focus.
        unfocused,
        // `text` was inserted at `offset`, `length` units long.
        inserted,
        // `length` units were deleted at `offset` (`text` as the application reported it, which
        // not every application gets right).
        deleted,
        // The caret now stands at `offset`.
        caretMoved,
    };
    Kind kind = Kind::inserted;
    std::shared_ptr<EditableTextField> field;
    qint64 offset = 0;
    qint64 length = 0;
    QString text;
};

// The session-wide stream of what text fields report: focus changes, insertions, deletions and
// caret moves, in the order the applications sent them. On Wayland this is how typing is
// followed: no program may watch another's keys there, but each application tells the
// accessibility bus what changed in its fields, whether a key, an input method or a paste made
// the change. Main thread only.
class TextFieldEvents {
public:
    using Handler = std::function<void(const TextFieldEvent&)>;

    virtual ~TextFieldEvents() = default;

    // Starts delivering to `handler`; replaces an earlier installation. False when the
    // accessibility bus does not answer.
    virtual bool install(Handler handler) = 0;
    // Stops delivering; no delivery happens after this returns.
    virtual void remove() = 0;
    virtual bool isInstalled() const = 0;
};
