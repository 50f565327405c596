#pragma once

#include "platform/TextFieldEvents.h"

typedef struct _AtspiAccessible AtspiAccessible;

// A text field of another application reached through AT-SPI: its states, its Text interface
// for reading and the caret, and its EditableText interface for changing the text by offsets.
// Offsets are the application's own. Reads are bounded by the engine's short messaging
// timeout; the changes themselves get longer, as a change that timed out on our side may
// still have been made on the other.
class AtspiEditableTextField : public EditableTextField {
public:
    // Takes its own reference.
    explicit AtspiEditableTextField(AtspiAccessible* accessible);
    ~AtspiEditableTextField() override;
    AtspiEditableTextField(const AtspiEditableTextField&) = delete;
    AtspiEditableTextField& operator=(const AtspiEditableTextField&) = delete;

    // Seconds a read may take, and a change.
    static constexpr double readTimeout = 0.03;
    static constexpr double changeTimeout = 0.5;

    std::optional<State> state() override;
    QString applicationName() override;
    bool isSameField(const EditableTextField& other) const override;
    std::optional<qint64> processId() override;
    std::optional<QString> text(qint64 start, qint64 end) override;
    std::optional<qint64> caret() override;
    std::optional<qint64> characterCount() override;
    bool setCaret(qint64 offset) override;
    bool deleteText(qint64 start, qint64 end) override;
    bool insertText(qint64 offset, const QString& text) override;
    Replaced replaceText(qint64 start, qint64 end, const QString& text, bool caretToTheEnd) override;
    bool leavesCaretInFrontOfInsertion() override;
    bool sendsCaretToTheEnd() override;
    bool caretStaysWithTypedKeys() override;

private:
    AtspiAccessible* m_accessible;
};
