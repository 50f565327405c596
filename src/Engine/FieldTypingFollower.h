#pragma once

#include "Engine/ExpansionMatcher.h"
#include "Engine/ExpansionReplacement.h"
#include "platform/Desktop.h"
#include "platform/TextFieldEvents.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

// Follows the user's typing through what the focused field reports instead of through keys,
// for desktops where no program may watch another's keyboard (Wayland), and replaces a typed
// trigger by editing the field's text at the trigger's offsets. One character inserted right
// where the previous one ended continues the typing, as a key would; anything else (a paste or
// other text inserted in one piece, a deletion, a caret moved elsewhere, another field) starts
// afresh. The clipboard is touched only where a field takes no edits by offsets and the desktop
// can paste (see Pasting). Main thread only.
class FieldTypingFollower : public QObject {
    Q_OBJECT
public:
    using ExpansionHandler
        = std::function<void(const QString& trigger, const QString& expansion, const QString& shortcutId)>;
    // Runs `work` on a later turn of the event loop; drops it once `context` is gone.
    using Schedule = std::function<void(QObject* context, std::function<void()> work)>;
    // Where the desktop can paste into the focused field without a window of ours taking the
    // keyboard: the trigger is selected and the expansion pasted over it, with the clipboard
    // lent and given back as where keys are watched.
    struct Pasting {
        Desktop desktop;
        ExpansionReplacement* replacement = nullptr;
    };

    FieldTypingFollower(TextFieldEvents& events, ExpansionMatcher& matcher, Schedule schedule,
        std::optional<Pasting> pasting = std::nullopt, QObject* parent = nullptr);
    ~FieldTypingFollower() override;

    // Starts following; false when the desktop offers no field events.
    bool start(ExpansionHandler onExpansion);
    void stop();
    bool isRunning() const;

    // Forgets what was typed so far (the matcher's buffer included).
    void resetTyping();

    bool isReplacing() const { return m_replacement != nullptr; }

Q_SIGNALS:
    // A trigger was typed into a field whose application lets no other program change its
    // text, so nothing could be expanded there.
    void applicationUnreachable(const QString& application);

private:
    // Where one typed character of the current run stands, in the field's own units.
    struct Piece {
        qint64 offset = 0;
        qint64 length = 0;
        // Taken out by an edit of ours that puts it back with the next insertion of ours; the
        // offset then counts from the end of the text taken out.
        bool detached = false;
    };
    // A change of our own that the field will report back.
    struct OwnEdit {
        TextFieldEvent::Kind kind = TextFieldEvent::Kind::inserted;
        qint64 offset = 0; // where a caret move of ours lands
        qint64 length = 0; // deletions only
        QString text; // insertions only
    };
    struct Replacement;

    void handle(const TextFieldEvent& event);
    void typed(const TextFieldEvent& reported);
    bool consumeOwnEdit(const TextFieldEvent& event);
    // Sets the caret and waits for the field's report of it.
    void setOwnCaret(EditableTextField& field, qint64 offset);
    void forgetOwnCaret();
    // Moves the offsets of the current run as an insertion or deletion elsewhere in its field
    // moves them.
    void shift(qint64 offset, qint64 change);
    // Our deletion takes out typed characters that our next insertion puts back at its end.
    void detach(qint64 offset, qint64 length);
    void reattach(qint64 end);
    void startReplacement(const ExpansionMatcher::Entry& match);
    void replace(const std::shared_ptr<Replacement>& replacement);
    // Replaces the trigger and the keys typed on behind it up to the caret by the expansion and
    // those keys, where the toolkit puts the caret behind an insertion at it, and then finds the
    // keys that reached the field during the edit.
    void replaceUpToCaret(const std::shared_ptr<Replacement>& replacement, qint64 caretBefore, qint64 countBefore);
    // Puts the caret behind the `extra` units of keys typed during the edit where they stand
    // behind the expansion (unless `caretSet` already); false where the toolkit padded the
    // insertion instead.
    bool placeKeysTypedMeanwhile(const Replacement& replacement, qint64 behind, qint64 extra, qint64 countAfter,
        const QString& rest, bool utf16, bool caretSet);
    // Moves keys that a Qt line edit took at the end of the text during the edit behind the
    // expansion, in front of those typed at the caret since.
    bool moveKeysFromTheEnd(const Replacement& replacement, qint64 behind, const QString& rest);
    // Takes out the `inserted` units at the trigger's place and puts `typed` back in, with the
    // requests sent `together` (and then, where `caretToTheEnd`, the caret to the end with them).
    void restoreTrigger(const Replacement& replacement, qint64 inserted, qint64 caretBefore, const QString& typed,
        bool together, bool caretToTheEnd);
    // Keys the field took between an insertion of ours and the move of the caret to the end sent
    // with it, right behind the insertion: in front of keys that had reached the field before
    // them (GTK 3 puts the caret behind text inserted by offsets and handles a key before the next
    // request). Where they stand, the units they take, and how many units of earlier keys stand
    // behind them.
    struct Misplaced {
        qint64 offset = 0;
        QString keys;
        qint64 units = 0;
        qint64 earlier = 0;
    };
    // Follows keys taken in front of earlier ones until the field reports the caret at the end,
    // then puts them behind those; false when the event ends that and is handled as any other.
    bool followMisplaced(const TextFieldEvent& event);
    void putMisplacedKeysBehind(const Misplaced& misplaced);
    // Where the toolkit leaves the caret in front of an insertion at it: the expansion goes in
    // in front of the trigger, which is taken out after.
    void insertInFront(
        const std::shared_ptr<Replacement>& replacement, qint64 caretBefore, std::optional<qint64> countBefore);
    // Takes out the `inserted` units in front of the trigger, if they are ours.
    void takeOutInsertion(const Replacement& replacement, qint64 inserted, qint64 caretBefore);
    // The expansion stands where the trigger was, with the caret behind it and what typed on.
    void landed(const Replacement& replacement);
    void paste(const std::shared_ptr<Replacement>& replacement);
    bool isInSameField(const TextFieldEvent& event) const;

    TextFieldEvents& m_events;
    ExpansionMatcher& m_matcher;
    Schedule m_schedule;
    ExpansionHandler m_onExpansion;
    bool m_installed = false;

    std::shared_ptr<EditableTextField> m_field;
    // Whether m_field is a password field, once asked.
    std::optional<bool> m_secret;
    // Where the next character continues the run.
    std::optional<qint64> m_next;
    // m_next stood at the end of text our deletion took out, to be put back with our next insertion.
    bool m_nextDetached = false;
    QList<Piece> m_pieces;
    // Where a space typed last was deleted to be inserted again with the next character.
    std::optional<qint64> m_swappedSpace;
    QList<OwnEdit> m_ownEdits;
    // Where the field reported the last insertion of ours to end.
    std::optional<qint64> m_ownInsertEnd;
    std::optional<Misplaced> m_misplaced;
    std::shared_ptr<Replacement> m_replacement;
    std::optional<Pasting> m_pasting;
    // Applications that said yes to edits by offsets and changed nothing.
    QSet<QString> m_ignoringEdits;
    // Applications seen handling keys sent behind a paste before it (see FieldPasteTarget).
    QSet<QString> m_keysOvertakePaste;
};
