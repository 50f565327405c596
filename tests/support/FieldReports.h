#pragma once

#include "platform/TextFieldEvents.h"

#include <QList>
#include <functional>
#include <memory>
#include <utility>

// A field of another application as a toolkit keeps it: typing inserts at the caret and reports
// the insertion and the caret move at once; edits made by other programs are reported later,
// when the test lets the application's reports through.
class ReportingField : public EditableTextField {
public:
    QString content;
    qint64 caretAt = 0;
    State current{true, true, FieldKind::singleLine, true};
    bool refuseInsert = false;
    // Makes the next insertion but answers too late, as a busy application does.
    bool answerInsertLate = false;
    // Answers yes to edits by offsets and changes nothing (as Firefox's pages do).
    bool ignoresEdits = false;
    std::optional<qint64> process;
    // Where the toolkit leaves a caret standing at an insertion by offsets: behind it (GTK 3) or
    // in front of it (GTK 4's entries, which move it only for text inserted before it).
    bool caretFollowsInsert = true;
    // What the toolkit makes of a text another program inserts, for one insertion (as a toolkit
    // reading the length in another unit than it was given: the text cut short, or padded).
    std::function<QString(const QString&)> garble;
    // Runs right after an insertion by another program, as a key the user typed that very moment.
    std::function<void()> afterInsert;
    // Puts the caret right behind an insertion by another program and reports it (GTK 3),
    // wherever the caret stood.
    bool caretBehindInsert = false;
    // Sends the caret to the end of the text on each edit by another program (Qt's line edits
    // set their whole text anew).
    bool caretToEndOnEdit = false;
    // Runs right after a deletion by another program, as a key the user typed that very moment.
    std::function<void()> afterDelete;
    // Runs right before the caret is read for the keyBeforeCaretRead-th time, as a key the user
    // typed that very moment.
    std::function<void()> beforeCaretRead;
    int keyBeforeCaretRead = 0;
    int caretReads = 0;
    // Runs right after the caret is read once, as a key the user typed that very moment.
    std::function<void()> afterCaretRead;
    int reads = 0;
    QList<TextFieldEvent> unreported;
    std::function<void(const TextFieldEvent&)> report;
    std::weak_ptr<ReportingField> self;

    // Questions for the state left that go unanswered, as a busy application's.
    int unansweredStates = 0;
    std::optional<State> state() override
    {
        if (unansweredStates > 0) {
            --unansweredStates;
            return std::nullopt;
        }
        return current;
    }
    QString applicationName() override { return QStringLiteral("Notes"); }
    bool isSameField(const EditableTextField& other) const override { return &other == this; }
    std::optional<qint64> processId() override { return process; }
    // Reads left that go unanswered, as a busy application's.
    int unansweredReads = 0;

    std::optional<QString> text(qint64 start, qint64 end) override
    {
        ++reads;
        if (unansweredReads > 0) {
            --unansweredReads;
            return std::nullopt;
        }
        // Text read over the accessibility bus ends at its first NUL.
        const QString read = content.mid(start, end - start);
        return read.left(read.indexOf(QChar(0)) >= 0 ? read.indexOf(QChar(0)) : read.size());
    }
    std::optional<qint64> caret() override
    {
        if (beforeCaretRead && ++caretReads == keyBeforeCaretRead)
            std::exchange(beforeCaretRead, nullptr)();
        const qint64 read = caretAt;
        if (afterCaretRead)
            std::exchange(afterCaretRead, nullptr)();
        return read;
    }
    // Answered by the next count read instead of the text's length, as by a toolkit that has not
    // caught up yet; runs once right after a count is read.
    std::optional<qint64> countOnce;
    std::function<void()> afterCountRead;
    std::optional<qint64> characterCount() override
    {
        const qint64 read = countOnce ? *std::exchange(countOnce, std::nullopt) : content.size();
        if (afterCountRead)
            std::exchange(afterCountRead, nullptr)();
        return read;
    }
    bool leavesCaretInFrontOfInsertion() override { return !caretFollowsInsert; }
    bool sendsCaretToTheEnd() override { return caretToEndOnEdit; }
    bool setCaret(qint64 offset) override
    {
        caretAt = offset;
        unreported.append(event(TextFieldEvent::Kind::caretMoved, offset));
        return true;
    }
    bool deleteText(qint64 start, qint64 end) override
    {
        if (ignoresEdits)
            return true;
        const QString removed = content.mid(start, end - start);
        content.remove(start, end - start);
        if (caretAt >= end)
            caretAt -= end - start;
        if (caretToEndOnEdit) {
            caretAt = content.size();
            unreported.append(event(TextFieldEvent::Kind::caretMoved, caretAt));
        }
        unreported.append(event(TextFieldEvent::Kind::deleted, start, end - start, removed));
        if (afterDelete)
            std::exchange(afterDelete, nullptr)();
        return true;
    }
    bool insertText(qint64 offset, const QString& text) override
    {
        if (refuseInsert) {
            refuseInsert = false;
            return false;
        }
        if (ignoresEdits)
            return true;
        const QString inserted = garble ? std::exchange(garble, nullptr)(text) : text;
        content.insert(offset, inserted);
        if (caretFollowsInsert ? caretAt >= offset : caretAt > offset)
            caretAt += inserted.size();
        unreported.append(event(TextFieldEvent::Kind::inserted, offset, inserted.size(), inserted));
        if (caretBehindInsert || caretToEndOnEdit) {
            caretAt = caretToEndOnEdit ? content.size() : offset + inserted.size();
            unreported.append(event(TextFieldEvent::Kind::caretMoved, caretAt));
        }
        if (afterInsert)
            std::exchange(afterInsert, nullptr)();
        return !std::exchange(answerInsertLate, false);
    }

    // The user types at the caret.
    void type(const QString& characters)
    {
        for (const QChar c : characters)
            insertAsUser(QString(c));
    }
    // One insertion of the whole text, as a paste makes.
    void insertAsUser(const QString& text)
    {
        content.insert(caretAt, text);
        report(event(TextFieldEvent::Kind::inserted, caretAt, text.size(), text));
        caretAt += text.size();
        report(event(TextFieldEvent::Kind::caretMoved, caretAt));
    }
    void backspace()
    {
        --caretAt;
        const QString removed = content.mid(caretAt, 1);
        content.remove(caretAt, 1);
        report(event(TextFieldEvent::Kind::deleted, caretAt, 1, removed));
        report(event(TextFieldEvent::Kind::caretMoved, caretAt));
    }
    void moveCaret(qint64 offset)
    {
        caretAt = offset;
        report(event(TextFieldEvent::Kind::caretMoved, offset));
    }
    void reportEdits()
    {
        const QList<TextFieldEvent> events = std::exchange(unreported, {});
        for (const TextFieldEvent& e : events)
            report(e);
    }

private:
    TextFieldEvent event(TextFieldEvent::Kind kind, qint64 offset, qint64 length = 0, const QString& text = {})
    {
        return TextFieldEvent{kind, self.lock(), offset, length, text};
    }
};

// The desktop's stream of field reports, delivered as the fields send them.
class ReportedEvents : public TextFieldEvents {
public:
    Handler handler;
    bool install(Handler h) override
    {
        handler = std::move(h);
        return true;
    }
    void remove() override { handler = nullptr; }
    bool isInstalled() const override { return bool(handler); }
};
