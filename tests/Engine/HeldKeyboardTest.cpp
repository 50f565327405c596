#include "EngineFixture.h"

#include "Utilities/Text.h"

// What happens while the user's keys are held back for a replacement: nothing there may
// wait on another application's clipboard, and the user's clipboard comes back only once
// the field has taken the paste.
using HeldKeyboard = EngineFixture;

TEST_F(HeldKeyboard, AnotherApplicationsClipboardIsReadOnlyWhileKeysFlow)
{
    start({{QStringLiteral("/sig"), signature}, {QStringLiteral("\u00a7"), QStringLiteral("para")}});
    int reads = 0;
    int readsWhileHeld = 0;
    desktop.pasteboard.setOnRead([&] {
        if (desktop.pasteboard.holdsOurWrite())
            return;
        ++reads;
        readsWhileHeld += desktop.keyboardHold.isHolding() ? 1 : 0;
    });

    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("first"));
    desktop.type(QStringLiteral("/sig and"));
    settle();
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("first"));

    // A trigger of one key, over contents copied since: saved at that key, before the hold.
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("second"));
    desktop.type(QStringLiteral(" \u00a7!"));
    settle();

    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(" and para!"));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("second"));
    EXPECT_GT(reads, 0);
    EXPECT_EQ(readsWhileHeld, 0);
    desktop.pasteboard.setOnRead(nullptr);
}

TEST_F(HeldKeyboard, ALatePasteGetsTheExpansionNeverThePreviousClipboard)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("copied password"));
    // The application stalls as the paste arrives, well past the paste checks: it answers
    // nothing until it takes the paste.
    field->pasteDelay = 2.5;
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.05);
    field->selectionAnswer = std::optional<TextRange>();
    scheduler.advance(1.5);
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    EXPECT_EQ(desktop.pasteboard.plainText(), signature);
    // Nothing may take the trigger's selection away before the paste comes: neither a request
    // to deselect it nor the primary selection going back (a GTK field deselects then).
    EXPECT_EQ(field->selection, (TextRange{6, 4}));
    EXPECT_EQ(desktop.primarySelection.restores, 0);
    EXPECT_TRUE(expansions.isEmpty());

    field->selectionAnswer.reset();
    scheduler.advance(1.5);
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("copied password"));
    EXPECT_EQ(desktop.primarySelection.restores, 1);
    // It arrived: it counts.
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

TEST_F(HeldKeyboard, APasteTheFieldGetsToOnlyAfterTheKeysTypedOnGoesBackToTheTriggerWithThoseKeys)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("copied"));
    // The field answers every look while its paste waits (a page busy in a thread of its own):
    // the replacement takes the paste for ignored, deselects the trigger and lets the keys typed
    // on go, and the paste comes behind them.
    field->pasteDelay = 1.5;
    desktop.type(QStringLiteral("/sig ok"));
    settle();
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));
    EXPECT_EQ(field->selection, (TextRange{13, 0}));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("copied"));
    EXPECT_TRUE(expansions.isEmpty());
}

// The field's application reads the clipboard at the (first) paste key into `read`, then stops
// answering before it shows what it read; `then` runs at that moment.
void stallAfterReadingPaste(
    FakeDesktop& desktop, FakeTextField& field, QString& read, const std::function<void()>& then = {})
{
    field.pasteDelay.reset();
    desktop.keyboard.onPasteKey = [&desktop, &field, &read, then] {
        if (!read.isEmpty())
            return;
        read = desktop.pasteboard.pasteIntoOtherApplication();
        field.selectionAnswer = std::optional<TextRange>();
        if (then)
            then();
    };
}

TEST_F(HeldKeyboard, APasteReadAtOnceButShownOnlyAfterAStallCountsAsTheExpansion)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("copied password"));
    // Answering nothing until long after the replacement has given the paste up.
    QString read;
    stallAfterReadingPaste(desktop, *field, read);
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    EXPECT_TRUE(expansions.isEmpty());

    field->insert(read);
    field->selectionAnswer.reset();
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("copied password"));
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

TEST_F(HeldKeyboard, APasteThatShowsJustAsItsWaitEndsCountsThoughTheNextTriggerFollowsAtOnce)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("copied"));
    // A busy field reads the clipboard at the paste key and shows what it read only after the
    // last look for it; the user has typed the next trigger by then.
    QString read;
    stallAfterReadingPaste(desktop, *field, read, [&] {
        const double lastLook = ExpansionReplacement::pasteCheckDelay * ExpansionReplacement::pasteChecks;
        Scheduler::current().after(lastLook - ExpansionReplacement::pasteCheckDelay / 4, nullptr, [&] {
            field->afterSelectionRead = [&] {
                field->insert(read);
                field->selectionAnswer.reset();
                desktop.type(QStringLiteral(" /sig"));
            };
        });
    });
    desktop.type(QStringLiteral(";addr"));
    settle();
    EXPECT_TRUE(field->text.startsWith(QStringLiteral("Hello 1 Main St /sig"))) << field->text.toStdString();
    EXPECT_EQ(expansions.value(0), std::pair(QStringLiteral(";addr"), QStringLiteral("1 Main St")));
}

TEST_F(HeldKeyboard, AnUntakenPasteGivesTheClipboardBackAfterTheLongestWaitOrToTheNextReplacement)
{
    desktop.pasteboard.setTracksReads(true);
    const QList<PasteboardItem> mine{PasteboardItem{{QStringLiteral("text/html"), QByteArray("<b>mine</b>")},
        {QStringLiteral("text/plain;charset=utf-8"), QByteArray("mine")}}};
    desktop.pasteboard.copyFromOtherApplication(mine);
    field->pasteDelay.reset();
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(desktop.pasteboard.plainText(), signature);

    // The next replacement puts back what the first one saved, byte for byte.
    auto next = desktop.focusNewField();
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(next->text, signature);
    EXPECT_EQ(desktop.pasteboard.items(), mine);

    // Left alone, the wait ends and the clipboard comes back.
    next->pasteDelay.reset();
    desktop.type(QStringLiteral(" /sig"));
    settle();
    EXPECT_EQ(desktop.pasteboard.plainText(), signature);
    scheduler.advance(ExpansionReplacement::pasteReadCheckDelay * ExpansionReplacement::pasteReadChecks);
    EXPECT_EQ(desktop.pasteboard.items(), mine);
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(HeldKeyboard, TheExpansionIsReportedOnlyAfterTheHeldKeysReachedTheField)
{
    QStringList textAtReport;
    engine.start({Shortcut{QStringLiteral("0"), QStringLiteral("/sig"), signature, std::nullopt, 0, std::nullopt}},
        [&](const QString&, const QString&, const QString&) {
            textAtReport.append(field->text);
            EXPECT_FALSE(desktop.keyboardHold.isHolding());
            EXPECT_EQ(desktop.keyboardHold.heldCount(), 0);
        });
    desktop.type(QStringLiteral("/sig and more"));
    settle();
    EXPECT_EQ(textAtReport, QStringList{QStringLiteral("Hello ") + signature + QStringLiteral(" and more")});
}

// A busy engine reads the trigger's final key late: the keys typed right after it went to the
// field before the hold began, and reach the engine only during the replacement.
void deliverUnheld(FakeDesktop& desktop, FakeTextField& field, const QString& keys, bool applied = true)
{
    for (const QString& key : Text::graphemes(keys)) {
        if (applied)
            field.insert(key);
        InputEvent event;
        event.type = InputEventType::keyPress;
        event.text = key;
        desktop.events.deliver(event);
    }
}

TEST_F(HeldKeyboard, KeysThatReachedTheFieldJustBeforeTheHoldGoAlongAndMayBeginTheNextTrigger)
{
    desktop.type(QStringLiteral("/sig"));
    ASSERT_TRUE(desktop.keyboardHold.isHolding());
    deliverUnheld(desktop, *field, QStringLiteral(" ;a"));
    desktop.type(QStringLiteral("ddr"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(" 1 Main St"));
    EXPECT_EQ(expansions.size(), 2);
    EXPECT_EQ(expansions.first(), std::pair(QStringLiteral("/sig"), signature));

    // The field shows them only some time after the engine has read them: the trigger waits.
    auto next = desktop.focusNewField(QStringLiteral("Hi "));
    expansions.clear();
    desktop.type(QStringLiteral("/sig"));
    deliverUnheld(desktop, *next, QStringLiteral(", "), false);
    scheduler.advance(ExpansionReplacement::caretCheckDelay * 2);
    EXPECT_EQ(next->text, QStringLiteral("Hi /sig"));
    next->insert(QStringLiteral(", "));
    desktop.type(QStringLiteral("ok"));
    settle();
    EXPECT_EQ(next->text, QStringLiteral("Hi ") + signature + QStringLiteral(", ok"));
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

TEST_F(HeldKeyboard, AFieldFarAheadOfTheEngineStillGetsTheExpansion)
{
    // The engine reads the trigger's first key only once the field shows the keys after it.
    field->insert(QStringLiteral("/sig, "));
    deliverUnheld(desktop, *field, QStringLiteral("/sig"), false);
    ASSERT_TRUE(desktop.keyboardHold.isHolding());
    deliverUnheld(desktop, *field, QStringLiteral(", "), false);
    desktop.type(QStringLiteral("ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(", ok"));
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

TEST_F(HeldKeyboard, KeysTheDesktopReportedButTheEngineHasNotReadYetAreReadBeforeTheFieldIsLookedAt)
{
    // The field has the key behind the trigger already; its event is still on its way to the
    // engine, which reads it before it looks: the key goes along with the trigger.
    desktop.type(QStringLiteral("/sig"));
    ASSERT_TRUE(desktop.keyboardHold.isHolding());
    field->insert(QStringLiteral(" "));
    InputEvent space;
    space.type = InputEventType::keyPress;
    space.text = QStringLiteral(" ");
    desktop.events.report(space);
    desktop.type(QStringLiteral("ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature + QStringLiteral(" ok"));
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

TEST_F(HeldKeyboard, AKeyReachingTheFieldOnceTheTriggerIsBeingSelectedLeavesItAsTypedInOrder)
{
    // It may land on the selection: nothing is pasted, and the caret goes back behind it.
    field->selectionDelay = ExpansionReplacement::selectionCheckDelay * 4;
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(ExpansionReplacement::selectionCheckDelay);
    deliverUnheld(desktop, *field, QStringLiteral("!"));
    desktop.type(QStringLiteral("?"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig!?"));
    EXPECT_EQ(field->selection.length, 0);
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
}

TEST_F(HeldKeyboard, TheHeldKeysFollowAPasteAsSoonAsItShowsAndTheFieldIsAskedOnlyOnceItTookIt)
{
    desktop.pasteboard.setTracksReads(true);
    field->pasteDelay = 0.004;
    desktop.type(QStringLiteral("/sig"));
    // The selection's look comes before the paste key; counted from there on.
    scheduler.runDue();
    const int textLooks = field->readCount(FakeTextField::Question::text);
    scheduler.advance(0.003);
    EXPECT_TRUE(desktop.keyboardHold.isHolding());
    EXPECT_EQ(field->readCount(FakeTextField::Question::text), textLooks) << "asked before it took the paste";
    scheduler.advance(0.01);
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
}

TEST_F(HeldKeyboard, AFieldThatReshapesThePasteGetsTheKeysBackSoonAndNothingIsReported)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->reshapesPaste = [](const QString& pasted) { return pasted.toUpper(); };
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.3);
    EXPECT_FALSE(desktop.keyboardHold.isHolding());
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature.toUpper());
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(HeldKeyboard, AHoldTheDesktopLetGoOfBeforeThePasteLeavesTheTriggerAsTyped)
{
    // The keyboard came back while this process could not run (stopped, stuck): keys may have
    // reached the field that the engine has not read yet, so nothing is selected or pasted.
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    desktop.type(QStringLiteral("/sig"));
    ASSERT_TRUE(desktop.keyboardHold.isHolding());
    desktop.keyboardHold.release();
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(field->selection.length, 0);
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}

// A paste that does not arrive whole goes back to the trigger as typed, with the keys typed
// after it, and the user's clipboard is theirs again: a field that keeps only so many
// characters, and a stalled field that pastes what the user copied before it got to the paste.
TEST_F(HeldKeyboard, APasteThatDoesNotArriveWholeLeavesTheTriggerAndTheKeysAfterIt)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->reshapesPaste = [](const QString& pasted) { return pasted.left(4); };
    desktop.type(QStringLiteral("/sig ok"));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig ok"));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_FALSE(desktop.keyboardHold.isHolding());

    field->reshapesPaste = nullptr;
    field->text = QStringLiteral("Hello ");
    field->moveCaret(field->text.size());
    field->pasteDelay = 2.5;
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.05);
    field->selectionAnswer = std::optional<TextRange>();
    scheduler.advance(1.5);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("copied meanwhile"));
    field->selectionAnswer.reset();
    field->pasteDelay = 0.01;
    scheduler.advance(1.5);
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_EQ(field->selection, (TextRange{10, 0}));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("copied meanwhile"));
    EXPECT_TRUE(expansions.isEmpty());
}

// A stalled field answers no look; going on again, it answers before it gets to the paste keys
// queued for it meanwhile. Its selection stays until it has taken them: the expansion lands over
// the trigger, not behind it.
TEST_F(HeldKeyboard, AFieldThatAnswersAgainJustBeforeItTakesThePasteKeepsTheTriggerSelectedForIt)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->pasteDelay = 0.9;
    desktop.type(QStringLiteral("/sig"));
    scheduler.advance(0.05);
    field->selectionAnswer = std::optional<TextRange>();
    scheduler.advance(0.73);
    field->selectionAnswer.reset();
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello ") + signature);
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}

// Lines pasted into a line field arrive joined by spaces, into others with their breaks shown
// another way, or with the lines after the first in an element of their own (an embedded
// object): each is the expansion, counted as one, and not taken back.
TEST_F(HeldKeyboard, AMultiLinePasteShownTheFieldsWayCountsAsAnExpansion)
{
    desktop.pasteboard.setTracksReads(true);
    const QString firstLine = signature.section(QLatin1Char('\n'), 0, 0);
    for (const QString& shown : {QString(signature).replace(QLatin1Char('\n'), QLatin1Char(' ')),
             QString(signature).replace(QLatin1Char('\n'), QChar::ParagraphSeparator),
             QString(signature).replace(QLatin1Char('\n'), QChar::ObjectReplacementCharacter),
             QString(firstLine + QChar::ObjectReplacementCharacter)}) {
        field->text = QStringLiteral("Hello ");
        field->moveCaret(field->text.size());
        expansions.clear();
        field->reshapesPaste = [shown](const QString&) { return shown; };
        desktop.type(QStringLiteral("/sig"));
        settle();
        EXPECT_EQ(field->text, "Hello " + shown);
        EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature)) << shown.toStdString();
    }
}

// A field that upper-cases its text after each change, also between the selection and the
// paste: the trigger it kept and the expansion behind it go back to the trigger as typed.
TEST_F(HeldKeyboard, AFieldThatChangesCaseBetweenTheSelectionAndThePasteGetsTheTriggerBack)
{
    desktop.pasteboard.setTracksReads(true);
    desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    field->pasteDelay = 0.02;
    desktop.type(QStringLiteral("/sig"));
    // The selection shows, then the field sets its text anew in its own case, and the caret goes
    // to the end, where the paste lands; the field upper-cases that too.
    scheduler.advance(0.01);
    ASSERT_EQ(field->selection, (TextRange{6, 4}));
    field->text = field->text.toUpper();
    field->moveCaret(field->text.size());
    field->reshapesPaste = [](const QString& pasted) { return pasted.toUpper(); };
    settle();
    EXPECT_TRUE(Text::equal(field->text.toUpper(), QStringLiteral("HELLO /SIG"))) << field->text.toStdString();
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}
