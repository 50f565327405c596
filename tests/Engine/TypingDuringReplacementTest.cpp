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
