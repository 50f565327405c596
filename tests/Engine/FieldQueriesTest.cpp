#include "EngineFixture.h"

// What the engine asks the focused field while the user types: other applications answer
// every question on their own event loop, so typing that cannot form a trigger asks nothing,
// and a field that keeps the focus is not looked for again on each key.
class FieldQueries : public EngineFixture {
protected:
    int questionsToTheDesktop() const { return field->queryCount() + desktop.accessibility.focusRequests; }
};

TEST_F(FieldQueries, TypingThatCannotBeginATriggerAsksNothing)
{
    const int before = questionsToTheDesktop();
    desktop.type(QStringLiteral("Dear Bob, thanks a lot "));
    settle();
    EXPECT_EQ(questionsToTheDesktop(), before);

    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
    EXPECT_EQ(field->text, QStringLiteral("Hello Dear Bob, thanks a lot ") + signature);
}

TEST_F(FieldQueries, ATriggerRightAfterOtherCharactersExpandsWhicheverWayTheFieldCatchesUp)
{
    for (const bool appliedBeforeSeen : {false, true}) {
        auto next = desktop.focusNewField(QStringLiteral("x"));
        next->appliesKeysBeforeSeen = appliedBeforeSeen;
        expansions.clear();
        desktop.type(QStringLiteral("ok;;/sig"));
        settle();
        EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature)) << appliedBeforeSeen;
        EXPECT_EQ(next->text, QStringLiteral("xok;;") + signature) << appliedBeforeSeen;
    }
}

TEST_F(FieldQueries, AKeyThatCannotCompleteATriggerReadsTheCaretOnly)
{
    desktop.type(QStringLiteral("/s"));
    const int selections = field->readCount(FakeTextField::Question::selection);
    const int roles = field->readCount(FakeTextField::Question::kind);
    const int focusChecks = desktop.accessibility.focusRequests;
    desktop.typeKey(QStringLiteral("i"));
    EXPECT_EQ(field->readCount(FakeTextField::Question::selection), selections + 1);
    EXPECT_EQ(field->readCount(FakeTextField::Question::kind), roles);
    EXPECT_EQ(desktop.accessibility.focusRequests, focusChecks);
    // The key that completes it asks where the focus is before anything is touched.
    desktop.typeKey(QStringLiteral("g"));
    EXPECT_GT(desktop.accessibility.focusRequests, focusChecks);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
}

TEST_F(FieldQueries, AFieldThatStopsBeingEditableMidTriggerIsLeftAsTyped)
{
    const std::function<void(FakeTextField&)> changes[] = {
        [](FakeTextField& f) { f.enabled = false; },
        [](FakeTextField& f) { f.editable = false; },
    };
    for (const auto& change : changes) {
        auto next = desktop.focusNewField(QStringLiteral("x"));
        expansions.clear();
        desktop.type(QStringLiteral("/si"));
        change(*next);
        desktop.typeKey(QStringLiteral("g"));
        settle();
        EXPECT_TRUE(expansions.isEmpty());
        EXPECT_EQ(next->text, QStringLiteral("x/sig"));
    }
}

TEST_F(FieldQueries, FocusMovingUnannouncedOrSecureInputStartingMidTriggerStopsIt)
{
    // The focus moves before the final key, or before a key that cannot complete the trigger.
    for (const QString& before : {QStringLiteral("/si"), QStringLiteral("/s")}) {
        auto first = desktop.focusNewField(QStringLiteral("x"));
        desktop.type(before);
        auto other = std::make_shared<FakeTextField>(before);
        desktop.focus(FakeDesktop::editorProcess, other);
        expansions.clear();
        desktop.type(QStringLiteral("/sig").mid(before.size()));
        settle();
        EXPECT_TRUE(expansions.isEmpty()) << qPrintable(before);
        EXPECT_EQ(other->text, QStringLiteral("/sig")) << qPrintable(before);
        EXPECT_EQ(first->text, QStringLiteral("x") + before) << qPrintable(before);
    }

    desktop.focus(FakeDesktop::editorProcess, field);
    field->text = QStringLiteral("Hello ");
    field->moveCaret(field->text.size());
    desktop.type(QStringLiteral("/si"));
    desktop.accessibility.secureInput = true;
    desktop.typeKey(QStringLiteral("g"));
    settle();
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
}

TEST_F(FieldQueries, AFinalKeyTheFieldHasAppliedIsNotLookedForAgainBeforeThePaste)
{
    desktop.type(QStringLiteral("/si"));
    const int caretReads = field->readCount(FakeTextField::Question::selection);
    // The field shows the final key already when the engine reads it, so the caret that
    // look found is where the trigger ends.
    field->appliesKeysBeforeSeen = true;
    desktop.typeKey(QStringLiteral("g"));
    scheduler.runDue();
    ASSERT_EQ(desktop.keyboard.posted.size(), 2);
    // The key's own look, and the selection of the trigger read back before pasting.
    EXPECT_EQ(field->readCount(FakeTextField::Question::selection), caretReads + 2);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
}

TEST_F(FieldQueries, AFieldThatAppliesASelectionAtOnceIsNotAskedForItNorForItsFocusAgainBeforeThePaste)
{
    field->saysSelectionAppliesAtOnce = true;
    desktop.type(QStringLiteral("/si"));
    field->appliesKeysBeforeSeen = true;
    const int caretReads = field->readCount(FakeTextField::Question::selection);
    const int focusChecks = desktop.accessibility.focusRequests;
    desktop.typeKey(QStringLiteral("g"));
    scheduler.runDue();
    ASSERT_EQ(desktop.keyboard.posted.size(), 2);
    // The key's own look at the caret and its focus, which the selection and the paste made in
    // that same turn share.
    EXPECT_EQ(field->readCount(FakeTextField::Question::selection), caretReads + 1);
    EXPECT_EQ(desktop.accessibility.focusRequests, focusChecks + 1);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);

    // A final key the field shows only later is decided in a later turn, which asks for the
    // focus afresh: a field that lost it meanwhile gets no paste.
    field->appliesKeysBeforeSeen = false;
    desktop.type(QStringLiteral(" /si"));
    desktop.typeKey(QStringLiteral("g"));
    auto other = std::make_shared<FakeTextField>();
    desktop.focus(FakeDesktop::editorProcess, other);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(" /sig"));
}
