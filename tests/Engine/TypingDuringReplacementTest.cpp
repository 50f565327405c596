#include "EngineFixture.h"

#include "Engine/KeySimulator.h"

using TypingDuringReplacement = EngineFixture;

TEST_F(TypingDuringReplacement, TextTypedStraightOnArrivesAfterTheExpansionInOrder)
{
    for (bool before : {true, false}) {
        auto next = desktop.focusNewField(QStringLiteral("Hi "));
        next->appliesKeysBeforeSeen = before;
        expansions.clear();
        desktop.type(QStringLiteral("/sig and more"));
        settle();
        EXPECT_EQ(next->text, QStringLiteral("Hi ") + signature + QStringLiteral(" and more")) << before;
        EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
        EXPECT_FALSE(desktop.keyboardHold.isHolding());
    }
}

TEST_F(TypingDuringReplacement, HeldKeysStillCountAsTypingSoBackToBackTriggersBothExpand)
{
    start({{QStringLiteral("/a"), QStringLiteral("AAA")}, {QStringLiteral("/b"), QStringLiteral("BBB")}});
    desktop.type(QStringLiteral("/a/b!"));
    settle();

    EXPECT_EQ(field->text, QStringLiteral("Hello AAABBB!"));
    EXPECT_EQ(expansions.size(), 2);
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
}

TEST_F(TypingDuringReplacement, KeysGoOnWhenTheReplacementGivesUpOrTheHoldIsRefused)
{
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    EXPECT_TRUE(expansions.isEmpty());

    // Without a hold the expansion still happens when nobody types on.
    auto next = desktop.focusNewField();
    desktop.keyboardHold.refuses = true;
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(next->text, signature);
}

TEST_F(TypingDuringReplacement, AHeldKeyNeverWaitsLongerThanTheReplacementMayTake)
{
    // The field ignores the paste, so the replacement runs its full course.
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    desktop.typeKey(QStringLiteral("x"));
    scheduler.advance(desktop.keyboardHold.longestSeconds);
    scheduler.runDue();
    EXPECT_TRUE(field->text.endsWith(QStringLiteral("x")));
    EXPECT_LE(desktop.keyboardHold.longestSeconds, ExpansionReplacement::longestSeconds);
    EXPECT_EQ(desktop.keyboardHold.userData, KeySimulator::marker);
}

TEST_F(TypingDuringReplacement, StoppingTheEngineLetsHeldKeysGo)
{
    desktop.type(QStringLiteral("/sig"));
    desktop.type(QStringLiteral("ab"));
    EXPECT_EQ(desktop.keyboardHold.heldCount(), 2);
    engine.stop();
    scheduler.runDue();
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    EXPECT_EQ(desktop.keyboardHold.heldCount(), 0);
}

// Browsers acknowledge a selection request at once and apply it some milliseconds later.
using LateSelection = EngineFixture;

TEST_F(LateSelection, ThePasteWaitsUntilTheTriggerReadsBackSelected)
{
    for (double lateBy : {0.004, 0.02, 0.12}) {
        auto next = desktop.focusNewField(QStringLiteral("Hi "));
        next->selectionDelay = lateBy;
        expansions.clear();
        desktop.type(QStringLiteral("/sig and more"));
        settle();
        EXPECT_EQ(next->text, QStringLiteral("Hi ") + signature + QStringLiteral(" and more")) << lateBy;
        EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature)) << lateBy;
        EXPECT_FALSE(desktop.keyboardHold.isHolding());
    }
}

TEST_F(LateSelection, ASelectionThatComesTooLateIsTakenBackAndTheHeldKeysFollowTheTrigger)
{
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->selectionDelay = ExpansionReplacement::selectionCheckDelay * ExpansionReplacement::selectionChecks + 0.1;
    desktop.type(QStringLiteral("/sig ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));
    EXPECT_EQ(field->selection.length, 0);
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
}

TEST_F(LateSelection, TakingBackASelectionOnItsWayIsTriedAgainWhenTheFieldDoesNotAnswer)
{
    field->selectionDelay = ExpansionReplacement::selectionCheckDelay * ExpansionReplacement::selectionChecks + 0.1;
    desktop.type(QStringLiteral("/sig ok"));
    scheduler.advance(0.05);
    field->unansweredSelections = 2;
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));
    EXPECT_EQ(field->selection.length, 0);
    EXPECT_EQ(field->unansweredSelections, 0);
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(LateSelection, ASelectionNeverAppliedLeavesTheFieldAsTyped)
{
    field->selectionDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    settle();
    desktop.type(QStringLiteral(" ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(LateSelection, FocusLeavingWhileTheSelectionIsOnItsWayStopsTheReplacement)
{
    field->selectionDelay = 0.02;
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.01);
    auto other = std::make_shared<FakeTextField>();
    desktop.focus(FakeDesktop::editorProcess, other);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());
}

// A busy application may not answer the accessibility interface within its timeout.
using UnansweredField = EngineFixture;

TEST_F(UnansweredField, AFewUnansweredQuestionsStillEndInTheExpansion)
{
    desktop.type(QStringLiteral("/s"));
    field->selectionAnswer = std::optional<TextRange>();
    desktop.type(QStringLiteral("ig"));
    // The replacement's first look goes unanswered too.
    scheduler.advance(ExpansionReplacement::caretCheckDelay / 2);
    field->selectionAnswer.reset();
    desktop.type(QStringLiteral(" ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(" ok"));
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));

    // At the first key of a trigger, in a field not looked at before.
    auto next = desktop.focusNewField(QStringLiteral("Hi "));
    next->selectionAnswer = std::optional<TextRange>();
    desktop.type(QStringLiteral("/"));
    next->selectionAnswer.reset();
    desktop.type(QStringLiteral("sig ok"));
    settle();
    EXPECT_EQ(next->text, QStringLiteral("Hi ") + signature + QStringLiteral(" ok"));
}

TEST_F(UnansweredField, AFieldThatStopsAnsweringIsLeftAsTypedAndTheKeysGoOnSoon)
{
    // Within the replacement: it gives up after a few looks.
    desktop.type(QStringLiteral("/si"));
    field->selectionAnswer = std::optional<TextRange>();
    desktop.type(QStringLiteral("g ok"));
    scheduler.advance((ExpansionReplacement::unansweredLooks + 1) * ExpansionReplacement::caretCheckDelay);
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));

    // Within a run: more keys in a row than are gone on over start afresh.
    auto next = desktop.focusNewField(QStringLiteral("Hi "));
    desktop.type(QStringLiteral(";"));
    next->selectionAnswer = std::optional<TextRange>();
    desktop.type(QStringLiteral("add"));
    next->selectionAnswer.reset();
    desktop.type(QStringLiteral("r"));
    settle();
    EXPECT_EQ(next->text, QStringLiteral("Hi ;addr"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());
}
