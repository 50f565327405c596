#include "EngineFixture.h"

#include "Engine/KeySimulator.h"

namespace {

const QString textType = QStringLiteral("text/plain;charset=utf-8");

QList<PasteboardItem> richContents()
{
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    return {PasteboardItem{{QStringLiteral("text/html"), QByteArray("<b>copied</b>")}, {textType, QByteArray("copied")},
                {QStringLiteral("com.example.binary"), binary}},
        PasteboardItem{{QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)}}};
}

} // namespace

using TriggerReplacement = EngineFixture;

TEST_F(TriggerReplacement, TypedTriggerBecomesItsExpansionAndTheClipboardComesBackByteForByte)
{
    desktop.pasteboard.copyFromOtherApplication(richContents());
    desktop.type(QStringLiteral("/sig"));
    settle();

    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(field->selection, (TextRange{field->text.size(), 0}));
    EXPECT_EQ(desktop.pasteboard.items(), richContents());
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));

    // Typing goes on normally after the expansion.
    desktop.type(QStringLiteral(" ok"));
    settle();
    EXPECT_TRUE(field->text.endsWith(QStringLiteral("Ada ok")));
}

TEST_F(TriggerReplacement, WorksWhetherTheFieldShowsEachKeyBeforeOrAfterTheEngineSeesIt)
{
    for (bool before : {true, false}) {
        auto next = desktop.focusNewField(QStringLiteral("x"));
        next->appliesKeysBeforeSeen = before;
        expansions.clear();
        desktop.type(QStringLiteral("/sig"));
        settle();
        EXPECT_EQ(next->text, QStringLiteral("x") + signature) << before;
        EXPECT_EQ(expansions.size(), 1);
    }
}

TEST_F(TriggerReplacement, WaitsForABusyFieldToShowTheFinalKey)
{
    desktop.type(QStringLiteral("/si"));
    field->keyDelay = 0.15;
    desktop.typeKey(QStringLiteral("g"));
    scheduler.advance(0.1);
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
}

TEST_F(TriggerReplacement, KeysShownInMixedOrderStillExpandAtTheRightPlace)
{
    // The first key shows before the engine reads the caret, the rest after, and the other
    // way round.
    for (bool firstBefore : {true, false}) {
        auto next = desktop.focusNewField(QStringLiteral("ab"));
        next->appliesKeysBeforeSeen = firstBefore;
        desktop.typeKey(QStringLiteral("/"));
        next->appliesKeysBeforeSeen = !firstBefore;
        desktop.type(QStringLiteral("sig"));
        settle();
        EXPECT_EQ(next->text, QStringLiteral("ab") + signature) << firstBefore;
    }
}

TEST_F(TriggerReplacement, RepeatingTriggerIsFoundWhereItWasTyped)
{
    // With every key shown before the engine sees it, the caret reading cannot tell where
    // the first key went; the text in the field decides.
    start({{QStringLiteral("aa"), QStringLiteral("X")}});
    auto next = desktop.focusNewField(QStringLiteral("a"));
    next->appliesKeysBeforeSeen = true;
    desktop.type(QStringLiteral("aa"));
    settle();
    EXPECT_EQ(next->text, QStringLiteral("aX"));
}

TEST_F(TriggerReplacement, TriggerAtTheStartOfAFieldIsReplaced)
{
    auto empty = desktop.focusNewField();
    desktop.type(QStringLiteral(";addr"));
    settle();
    EXPECT_EQ(empty->text, QStringLiteral("1 Main St"));
}

TEST_F(TriggerReplacement, EmptyClipboardIsEmptyAgainAfterwards)
{
    ASSERT_EQ(desktop.pasteboard.itemCount(), 0);
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(expansions.size(), 1);
    EXPECT_EQ(desktop.pasteboard.itemCount(), 0);
}

TEST_F(TriggerReplacement, ClipboardHoldsTheExpansionAndAFreshMarkerDuringThePaste)
{
    field->pasteDelay = 0.5;
    QStringList markers;
    for (int i = 0; i < 2; ++i) {
        desktop.type(QStringLiteral("/sig"));
        scheduler.advance(0.1);
        const PasteboardItem item = desktop.pasteboard.items().value(0);
        ASSERT_EQ(item.size(), 4);
        EXPECT_EQ(item.at(0), std::make_pair(textType, signature.toUtf8()));
        EXPECT_EQ(item.at(1).first, QStringLiteral("application/x-velmora-temporary-expansion"));
        EXPECT_EQ(item.at(1).second.size(), 36);
        markers.append(QString::fromUtf8(item.at(1).second));
        // What clipboard managers read as "keep no history of this".
        EXPECT_EQ(item.at(2), std::make_pair(QStringLiteral("x-kde-passwordManagerHint"), QByteArray("secret")));
        EXPECT_EQ(item.at(3), std::make_pair(QStringLiteral("application/x-copyq-hidden"), QByteArray("1")));
        settle();
    }
    EXPECT_NE(markers.at(0), markers.at(1));
    EXPECT_EQ(expansions.size(), 2);
}

TEST_F(TriggerReplacement, OwnPasteKeysPassThroughMarkedWhileOtherProgramsKeysCountAsTyping)
{
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.021);
    ASSERT_EQ(desktop.keyboard.posted.size(), 2);
    const SyntheticKeyEvent down = desktop.keyboard.posted.at(0).second;
    const SyntheticKeyEvent up = desktop.keyboard.posted.at(1).second;
    EXPECT_TRUE(down.press);
    EXPECT_FALSE(up.press);
    for (const SyntheticKeyEvent& event : {down, up}) {
        EXPECT_EQ(event.key, Qt::Key_V);
        EXPECT_EQ(event.modifiers, Qt::ControlModifier);
        EXPECT_EQ(event.tag, KeySimulator::marker);
    }
    EXPECT_EQ(desktop.keyboard.posted.at(0).first, FakeDesktop::editorProcess);
    const quint64 generation = engine.generation();
    settle();
    EXPECT_EQ(engine.generation(), generation);
    EXPECT_EQ(expansions.size(), 1);

    // A key someone else synthesised is typing like any other.
    InputEvent foreign;
    foreign.key = Qt::Key_Return;
    foreign.tag = 12345;
    desktop.events.deliver(foreign);
    EXPECT_GT(engine.generation(), generation);
}

TEST_F(TriggerReplacement, AFieldThatAlreadyShowsTheFinalKeyIsPastedIntoWithoutWaiting)
{
    desktop.type(QStringLiteral("/sig"));
    scheduler.runDue();
    EXPECT_EQ(desktop.keyboard.posted.size(), 2);
}

TEST_F(TriggerReplacement, AFieldThatShowsTheFinalKeyLateIsLookedAtAgainUntilItDoes)
{
    desktop.type(QStringLiteral("/si"));
    field->keyDelay = 0.05;
    desktop.typeKey(QStringLiteral("g"));
    scheduler.runDue();
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());
    settle();
    EXPECT_EQ(expansions.size(), 1);
}

TEST_F(TriggerReplacement, AFieldAMomentBehindTheFinalKeyIsLookedAtAgainSoon)
{
    desktop.type(QStringLiteral("/si"));
    field->keyDelay = 0.004;
    desktop.typeKey(QStringLiteral("g"));
    // Well before the looks a busy field gets (every caretCheckDelay).
    scheduler.advance(0.012);
    EXPECT_EQ(desktop.pasteboard.writeCount(), 1);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
}

TEST_F(TriggerReplacement, AFieldStillBusyWithTheKeysBeforeATriggerExpandsItWhereItEnds)
{
    // The field applies each key a while after it was typed, so when the engine looks at the
    // trigger's first key the words before it have not arrived yet.
    field->keyDelay = 0.05;
    const QString before = field->text;
    desktop.type(QStringLiteral("ok /sig"));
    settle();
    EXPECT_EQ(field->text, before + QStringLiteral("ok ") + signature);
    EXPECT_EQ(expansions.size(), 1);

    // Text other than the trigger where it may end: left as typed, and not waited for long.
    desktop.type(QStringLiteral(" /si"));
    settle();
    field->text.replace(field->text.size() - 3, 3, QStringLiteral("/sI"));
    desktop.typeKey(QStringLiteral("g"));
    settle();
    EXPECT_EQ(field->text, before + QStringLiteral("ok ") + signature + QStringLiteral(" /sIg"));
    EXPECT_EQ(expansions.size(), 1);
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
}

TEST_F(TriggerReplacement, CompletionRunsAfterTheClipboardIsBackAndTheEngineIsFree)
{
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    int completions = 0;
    engine.stop();
    QList<Shortcut> list{
        Shortcut{QStringLiteral("1"), QStringLiteral("/sig"), signature, std::nullopt, 0, std::nullopt}};
    engine.start(list, [&](const QString&, const QString&, const QString&) {
        EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
        // The engine takes typing again at once: a new trigger expands.
        if (++completions == 1)
            desktop.type(QStringLiteral(" /sig"));
    });
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(field->text.count(signature), 2);
}

using AbandonedReplacement = EngineFixture;

TEST_F(AbandonedReplacement, KeyTypedBeforeThePasteLeavesTriggerAndKeyAsTyped)
{
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    // The field is slow to show the final key, so the replacement is still waiting for it,
    // and the desktop cannot hold the key typed meanwhile.
    desktop.keyboardHold.refuses = true;
    field->keyDelay = 0.015;
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.01);
    desktop.typeKey(QStringLiteral("x"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sigx"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}

TEST_F(AbandonedReplacement, ClickScrollModifierOrApplicationSwitchBeforeThePasteAbandonsIt)
{
    const std::vector<std::function<void()>> interruptions = {
        [&] { desktop.mouseDown(InputEventType::buttonPress); },
        [&] { desktop.mouseDown(InputEventType::scroll); },
        [&] { desktop.changeModifiers(Qt::ControlModifier); },
        [&] { desktop.workspace.activate(FakeDesktop::editorProcess); },
        [&] { desktop.events.disable(); },
    };
    // A modifier pressed while the desktop holds the keyboard would wait behind the paste.
    desktop.keyboardHold.refuses = true;
    for (const auto& interrupt : interruptions) {
        auto next = desktop.focusNewField();
        next->keyDelay = 0.015;
        desktop.type(QStringLiteral("/sig"));
        scheduler.advance(0.01);
        interrupt();
        settle();
        EXPECT_EQ(next->text, QStringLiteral("/sig"));
    }
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(AbandonedReplacement, FinalKeyShowingOnlyAfterTheCaretChecksLeavesTheTrigger)
{
    field->keyDelay = ExpansionReplacement::caretCheckDelay * ExpansionReplacement::caretChecks + 0.1;
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
}

TEST_F(AbandonedReplacement, SecondTriggerDuringAReplacementWithoutAHoldDoesNotStartAnother)
{
    desktop.keyboardHold.refuses = true;
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.05);
    auto other = desktop.focusNewField(QString(), 5151);
    desktop.type(QStringLiteral(";addr"));
    settle();
    EXPECT_EQ(other->text, QStringLiteral(";addr"));
    EXPECT_TRUE(expansions.isEmpty());

    // Once the first replacement has ended, triggers expand again.
    desktop.type(QStringLiteral(";addr"));
    settle();
    EXPECT_EQ(other->text, QStringLiteral(";addr1 Main St"));
}

TEST_F(AbandonedReplacement, StopBeforeThePasteGivesUpButAPostedPasteStillReports)
{
    desktop.type(QStringLiteral("/sig"));
    engine.stop();
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_TRUE(expansions.isEmpty());

    start({{QStringLiteral("/sig"), signature}});
    field->pasteDelay = 0.2;
    desktop.type(QStringLiteral("/x/sig"));
    scheduler.advance(0.05);
    ASSERT_EQ(desktop.keyboard.posted.size(), 2);
    engine.stop();
    settle();
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

using ClipboardOwnership = EngineFixture;

TEST_F(ClipboardOwnership, CopyDuringThePasteChecksStaysOnTheClipboard)
{
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("old"));
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.1);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("new copy"));
    settle();
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("new copy"));
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(ClipboardOwnership, ContentsChangedByAnotherWriterAreNeverOverwritten)
{
    // A clipboard manager adds its own type to what we wrote: it is no longer ours.
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("old"));
    desktop.pasteboard.setAddsTypeOnWrite(QStringLiteral("org.example.manager"));
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(desktop.pasteboard.writeCount(), 1);
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(ClipboardOwnership, RefusedWritePutsThePreviousContentsBack)
{
    desktop.pasteboard.copyFromOtherApplication(richContents());
    desktop.pasteboard.setRefusesWrites(true);
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(desktop.pasteboard.writeCount(), 2);
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(ClipboardOwnership, ClipboardThatCannotBeSavedPreventsTheReplacement)
{
    desktop.pasteboard.copyFromOtherApplication(richContents());
    desktop.pasteboard.setUnreadableType(QStringLiteral("image/png"));
    // Given up at the final key itself, where the field shows it already: the keys go on at once.
    field->appliesKeysBeforeSeen = true;
    desktop.type(QStringLiteral("/sig"));
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
}

TEST_F(ClipboardOwnership, ClipboardChangingWhileSavedIsSavedAgainOrPreventsTheReplacement)
{
    // Changed once while the trigger is typed: the newer contents are saved and come back.
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("old"));
    desktop.pasteboard.setOnRead([&] {
        desktop.pasteboard.setOnRead(nullptr);
        desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("newer"));
    });
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("newer"));

    // Changing on every read, it is never saved whole, and nothing is replaced.
    int copies = 0;
    desktop.pasteboard.setOnRead([&] { desktop.pasteboard.copyTextFromOtherApplication(QString::number(++copies)); });
    desktop.type(QStringLiteral(" /sig"));
    settle();
    desktop.pasteboard.setOnRead(nullptr);
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(" /sig"));
    EXPECT_EQ(desktop.pasteboard.plainText(), QString::number(copies));
}

using IgnoredPaste = EngineFixture;

TEST_F(IgnoredPaste, TriggerIsDeselectedWithTheCaretBehindItAfterTheLastCheck)
{
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.5);
    EXPECT_EQ(field->selection, (TextRange{6, 4}));
    scheduler.advance(0.4);
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(field->selection, (TextRange{10, 0}));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(IgnoredPaste, LatePasteWithinTheChecksStillCounts)
{
    field->pasteDelay = 0.7;
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(expansions.size(), 1);
}

TEST_F(IgnoredPaste, RefusedSelectionOrPasteKeysLeaveTriggerAndClipboard)
{
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->refusesSelection = true;
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));

    field->refusesSelection = false;
    desktop.keyboard.refuses = true;
    desktop.type(QStringLiteral(" /sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig /sig"));
    EXPECT_EQ(field->selection, (TextRange{15, 0}));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(TriggerReplacement, RepeatedCharacterTriggerAfterThatCharacterWaitsForALateFinalKey)
{
    for (double lateBy : {0.005, 0.015}) {
        auto next = desktop.focusNewField(QStringLiteral("Z;"));
        start({{QStringLiteral(";;"), QStringLiteral("X")}});
        expansions.clear();
        desktop.typeKey(QStringLiteral(";"));
        next->keyDelay = lateBy;
        desktop.typeKey(QStringLiteral(";"));
        settle();
        EXPECT_EQ(next->text, QStringLiteral("Z;X")) << lateBy;
        EXPECT_EQ(expansions.size(), 1) << lateBy;
    }
}

// Selecting the trigger makes some toolkits take the primary selection over.
using PrimarySelectionKeeping = EngineFixture;

TEST_F(PrimarySelectionKeeping, SavedBeforeTheTriggerIsSelectedAndPutBackOnceTheReplacementIsDone)
{
    std::optional<TextRange> selectionAtSave;
    QString textAtRestore;
    desktop.primarySelection.onSave = [&] { selectionAtSave = field->selection; };
    desktop.primarySelection.onRestore = [&] { textAtRestore = field->text; };
    desktop.type(QStringLiteral("/sig"));
    settle();
    ASSERT_TRUE(selectionAtSave);
    EXPECT_EQ(selectionAtSave->length, 0);
    EXPECT_EQ(textAtRestore, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(desktop.primarySelection.restores, 1);
}

TEST_F(PrimarySelectionKeeping, PutBackAlsoWhenTheReplacementFails)
{
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    settle();
    field->refusesSelection = true;
    desktop.type(QStringLiteral(" /sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig /sig"));
    EXPECT_EQ(desktop.primarySelection.saves, 2);
    EXPECT_EQ(desktop.primarySelection.restores, 2);
}
