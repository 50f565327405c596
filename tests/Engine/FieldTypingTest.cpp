#include "Engine/FieldTypingFollower.h"
#include "Engine/TextExpansionEngine.h"
#include "FakeDesktop.h"
#include "ManualScheduler.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using Kind = TextFieldEvent::Kind;

// A field of another application as a toolkit keeps it: typing inserts at the caret and reports
// the insertion and the caret move at once; edits made by other programs are reported later,
// when the test lets the application's reports through.
class ReportingField : public EditableTextField {
public:
    QString content;
    qint64 caretAt = 0;
    State current{true, true, false, true};
    bool refuseInsert = false;
    // Where the toolkit leaves the caret after an insertion by offsets: behind it (GTK 3) or
    // where it was (GTK 4).
    bool caretFollowsInsert = true;
    // Runs right after an insertion by another program, as a key the user typed that very moment.
    std::function<void()> afterInsert;
    int reads = 0;
    QList<TextFieldEvent> unreported;
    std::function<void(const TextFieldEvent&)> report;
    std::weak_ptr<ReportingField> self;

    std::optional<State> state() override { return current; }
    QString applicationName() override { return QStringLiteral("Notes"); }
    bool isSameField(const EditableTextField& other) const override { return &other == this; }
    std::optional<QString> text(qint64 start, qint64 end) override
    {
        ++reads;
        return content.mid(start, end - start);
    }
    std::optional<qint64> caret() override { return caretAt; }
    std::optional<qint64> characterCount() override { return content.size(); }
    bool setCaret(qint64 offset) override
    {
        caretAt = offset;
        unreported.append(event(Kind::caretMoved, offset));
        return true;
    }
    bool deleteText(qint64 start, qint64 end) override
    {
        const QString removed = content.mid(start, end - start);
        content.remove(start, end - start);
        if (caretAt >= end)
            caretAt -= end - start;
        unreported.append(event(Kind::deleted, start, end - start, removed));
        return true;
    }
    bool insertText(qint64 offset, const QString& text) override
    {
        if (refuseInsert) {
            refuseInsert = false;
            return false;
        }
        content.insert(offset, text);
        if (caretFollowsInsert && caretAt >= offset)
            caretAt += text.size();
        unreported.append(event(Kind::inserted, offset, text.size(), text));
        if (afterInsert)
            std::exchange(afterInsert, nullptr)();
        return true;
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
        report(event(Kind::inserted, caretAt, text.size(), text));
        caretAt += text.size();
        report(event(Kind::caretMoved, caretAt));
    }
    void backspace()
    {
        --caretAt;
        const QString removed = content.mid(caretAt, 1);
        content.remove(caretAt, 1);
        report(event(Kind::deleted, caretAt, 1, removed));
        report(event(Kind::caretMoved, caretAt));
    }
    void moveCaret(qint64 offset)
    {
        caretAt = offset;
        report(event(Kind::caretMoved, offset));
    }
    void reportEdits()
    {
        const QList<TextFieldEvent> events = std::exchange(unreported, {});
        for (const TextFieldEvent& e : events)
            report(e);
    }

private:
    TextFieldEvent event(Kind kind, qint64 offset, qint64 length = 0, const QString& text = {})
    {
        return TextFieldEvent{kind, self.lock(), offset, length, text};
    }
};

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

Shortcut shortcut(const QString& trigger, const QString& expansion)
{
    Shortcut result;
    result.id = trigger;
    result.trigger = trigger;
    result.expansion = expansion;
    return result;
}

const QString signature = QStringLiteral("Best regards");

// The engine on a desktop that reports typing through its fields: nothing is pasted, the
// field is edited by offsets.
class FieldTyping : public ::testing::Test {
protected:
    FieldTyping()
    {
        Desktop services = desktop.desktop();
        services.textFieldEvents = &events;
        engine = std::make_unique<TextExpansionEngine>(services);
        field = std::make_shared<ReportingField>();
        field->self = field;
        field->report = [this](const TextFieldEvent& event) {
            if (events.handler)
                events.handler(event);
        };
        engine->start({shortcut("/sig", signature), shortcut("/a", "AAA"), shortcut("/b", "BBB")},
            [this](const QString& trigger, const QString&) { expansions.append(trigger); });
    }

    // The replacement runs on the next turn of the event loop; the application reports its
    // edits afterwards.
    void settle()
    {
        scheduler.runDue();
        field->reportEdits();
    }

    ManualScheduler scheduler;
    FakeDesktop desktop;
    ReportedEvents events;
    std::unique_ptr<TextExpansionEngine> engine;
    std::shared_ptr<ReportingField> field;
    QStringList expansions;
};

TEST_F(FieldTyping, aTypedTriggerIsReplacedInTheFieldWithTheCaretBehindTheExpansion)
{
    ASSERT_TRUE(engine->isRunning());
    field->type("Hi /sig");
    settle();
    EXPECT_EQ(field->content, "Hi " + signature);
    EXPECT_EQ(field->caretAt, field->content.size());
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_FALSE(engine->fieldTyping()->isReplacing());
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0) << "the clipboard is not touched";
}

TEST_F(FieldTyping, theCaretIsPutBehindTheExpansionWhereTheToolkitLeavesItInFront)
{
    field->caretFollowsInsert = false;
    field->type("/sig");
    settle();
    EXPECT_EQ(field->content, signature);
    EXPECT_EQ(field->caretAt, signature.size());
}

TEST_F(FieldTyping, textInsertedInOnePieceDoesNotCompleteATrigger)
{
    field->insertAsUser("/sig");
    settle();
    field->insertAsUser("/si");
    field->type("g");
    settle();
    EXPECT_EQ(field->content, "/sig/sig");
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, aDeletionOrACaretMovedElsewhereStartsAfresh)
{
    field->type("/sx");
    field->backspace();
    field->type("ig");
    settle();
    EXPECT_EQ(field->content, "/sig");
    field->type(" /si");
    field->moveCaret(0);
    field->moveCaret(field->content.size());
    field->type("g");
    settle();
    EXPECT_EQ(field->content, "/sig /sig");
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, typingInAnotherFieldDoesNotContinueATrigger)
{
    field->type("/si");
    auto other = std::make_shared<ReportingField>();
    other->self = other;
    other->report = field->report;
    other->type("g");
    settle();
    EXPECT_EQ(other->content, "g");
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, textChangingInObjectsTheUserIsNotTypingIntoChangesNothing)
{
    field->type("/s");
    auto label = std::make_shared<ReportingField>();
    label->self = label;
    label->report = field->report;
    label->current.focused = false;
    label->current.editable = false;
    label->content = QStringLiteral("12:00");
    label->caretAt = 5;
    label->backspace();
    label->type("1");
    label->insertAsUser("Saved");
    field->type("ig");
    settle();
    EXPECT_EQ(field->content, signature);
}

TEST_F(FieldTyping, aPasswordFieldIsNeitherReadNorEdited)
{
    field->current.secret = true;
    field->type("/sig");
    settle();
    EXPECT_EQ(field->content, "/sig");
    EXPECT_EQ(field->reads, 0);
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, aFieldThatLostTheFocusOrCannotBeEditedIsLeftAsTyped)
{
    field->type("/sig");
    field->current.focused = false;
    settle();
    EXPECT_EQ(field->content, "/sig");
    field->current.focused = true;
    field->current.editable = false;
    field->type(" /sig");
    settle();
    EXPECT_EQ(field->content, "/sig /sig");
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, anApplicationThatLetsNoProgramEditItsFieldsIsNamed)
{
    QSignalSpy unreachable(engine->fieldTyping(), &FieldTypingFollower::applicationUnreachable);
    field->current.offersEditing = false;
    field->type("/sig");
    settle();
    EXPECT_EQ(field->content, "/sig");
    ASSERT_EQ(unreachable.size(), 1);
    EXPECT_EQ(unreachable.first().first().toString(), "Notes");
}

TEST_F(FieldTyping, aTriggerChangedBeforeTheEditStaysAsItIs)
{
    field->type("x/sig");
    // Changed by the application before its report arrived.
    field->content.replace(1, 1, "?");
    settle();
    EXPECT_EQ(field->content, "x?sig");
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, aRefusedInsertionPutsTheTriggerBack)
{
    field->type("Hi /sig");
    field->refuseInsert = true;
    settle();
    EXPECT_EQ(field->content, "Hi /sig");
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, keysTypedBeforeTheEditLandBehindTheExpansionAndCanCompleteTheNextTrigger)
{
    field->type("/sig");
    // Typed on before the replacement reached the field.
    field->type(" /");
    settle();
    EXPECT_EQ(field->content, signature + " /");
    EXPECT_EQ(field->caretAt, field->content.size());
    field->type("a");
    settle();
    EXPECT_EQ(field->content, signature + " AAA");
    EXPECT_EQ(expansions, (QStringList{"/sig", "/a"}));
}

TEST_F(FieldTyping, aKeyTypedWhileTheFieldIsEditedStaysBehindTheExpansion)
{
    field->caretFollowsInsert = false;
    field->type("/sig");
    field->afterInsert = [this] {
        field->content.append("!");
        field->caretAt = field->content.size();
        field->unreported.append(TextFieldEvent{Kind::inserted, field, field->content.size() - 1, 1, "!"});
    };
    settle();
    EXPECT_EQ(field->content, signature + "!");
    EXPECT_EQ(field->caretAt, field->content.size());
    EXPECT_EQ(expansions, QStringList{"/sig"});
}

TEST_F(FieldTyping, theFieldsReportsOfOurOwnEditAreNotTakenForTyping)
{
    field->type("x/a");
    settle();
    // The deletion and the insertion just reported would each start afresh if they were the
    // user's; a trigger begun before them would then be lost.
    field->type("/b!");
    settle();
    EXPECT_EQ(field->content, "xAAABBB!");
    EXPECT_EQ(expansions, (QStringList{"/a", "/b"}));
}

TEST_F(FieldTyping, stoppingStopsFollowing)
{
    engine->stop();
    EXPECT_FALSE(engine->isRunning());
    field->type("/sig");
    settle();
    EXPECT_EQ(field->content, "/sig");
}

} // namespace
