#pragma once

#include "platform/AccessibleElement.h"

#include <QHash>
#include <functional>
#include <memory>
#include <optional>

// A UI element of another application as the accessibility interface shows it: by default
// an enabled, editable single-line field with the caret at the end of its text. Its answers
// can be changed to anything a real application might answer. It applies typed keys and
// pastes as an application does, with timings the test chooses.
class FakeTextField final : public AccessibleElement, public std::enable_shared_from_this<FakeTextField> {
public:
    explicit FakeTextField(const QString& text = QString());

    // What the accessibility interface answers.
    QString text;
    TextRange selection;
    std::optional<FieldKind> fieldKind = FieldKind::singleLine;
    std::optional<bool> enabled;
    std::optional<bool> editable = true;
    // Answered for the selected range instead of `selection` when set.
    std::optional<std::optional<TextRange>> selectionAnswer;
    bool refusesSelection = false;
    // Runs once, right after the selection is read, as a key the user typed that very moment.
    std::function<void()> afterSelectionRead;
    // Runs once, right after text is read, as a key typed that very moment.
    std::function<void()> afterTextRead;
    // Runs once, at the next accepted selection request, with the range asked for.
    std::function<void(TextRange)> onSelect;
    // The next this many selection requests are refused, as a busy application's go unanswered.
    int unansweredSelections = 0;
    // Seconds between an accepted selection request and the selection showing, as browsers
    // apply it; nothing: accepted but never applied. Requests are applied in order.
    std::optional<double> selectionDelay = 0;
    // Runs just before a delayed selection is applied, as a key that reached the field first.
    std::function<void()> beforeSelectionApplies;
    // Says that an accepted selection is in place at once (as GTK 3 and Qt fields do).
    bool saysSelectionAppliesAtOnce = false;
    // Says that a selection is applied before any key that comes after the request.
    bool saysSelectionComesBeforeLaterKeys = false;

    // When typed keys show in the field: already when the engine sees them (as X11 RECORD
    // often reports them), or `keyDelay` seconds afterwards (0: as soon as the engine has
    // handled the key).
    bool appliesKeysBeforeSeen = false;
    double keyDelay = 0;
    // Seconds between a paste key and the pasted text showing; nothing: pastes are ignored.
    std::optional<double> pasteDelay = 0.01;
    // What the field makes of pasted text (an editor that corrects it); null: it keeps it.
    std::function<QString(const QString&)> reshapesPaste;
    // Handles End sent behind a paste at once, before the paste shows (Thunderbird under sway
    // reads the clipboard by running its event loop, which takes the keys behind the paste).
    bool handlesEndBeforePaste = false;
    // Says so beforehand (as Thunderbird's accessibility names it).
    bool saysKeysBehindPasteComeFirst = false;

    // Replaces the selection with `typed` and puts the caret after it.
    void insert(const QString& typed);
    void moveCaret(qint64 location) { selection = TextRange{location, 0}; }

    double messagingTimeout() const { return m_timeout; }
    int queryCount() const { return m_queries; }
    enum class Question { kind, enabled, editable, selection, text, select };
    // How often the question was asked.
    int readCount(Question question) const { return m_reads.value(question); }

    void setMessagingTimeout(double seconds) override { m_timeout = seconds; }
    std::optional<FieldKind> kind() override;
    std::optional<bool> isEnabled() override;
    std::optional<bool> isEditable() override;
    std::optional<TextRange> selectedRange() override;
    std::optional<QString> textIn(TextRange range) override;
    bool select(TextRange range) override;
    bool isEqual(const AccessibleElement& other) const override { return &other == this; }
    bool appliesSelectionAtOnce() const override { return saysSelectionAppliesAtOnce; }
    bool appliesSelectionBeforeLaterKeys() const override { return saysSelectionComesBeforeLaterKeys; }
    bool handlesKeysBehindPasteFirst() const override { return saysKeysBehindPasteComeFirst; }

private:
    bool contains(TextRange range) const;

    void applySelection(TextRange range);

    double m_timeout = 0;
    // Requests not yet applied; a later request still waits for the earlier ones.
    int m_pendingSelections = 0;
    int m_queries = 0;
    void ask(Question question);

    QHash<Question, int> m_reads;
};
