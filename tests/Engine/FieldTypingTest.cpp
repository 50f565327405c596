#include "Engine/FieldTypingFollower.h"
#include "Engine/TextExpansionEngine.h"
#include "FakeDesktop.h"
#include "FieldReports.h"
#include "LibraryFixtures.h"
#include "ManualScheduler.h"
#include "Utilities/Scheduler.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using Kind = TextFieldEvent::Kind;

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
        engine->start({LibraryFixtures::expanding("/sig", signature), LibraryFixtures::expanding("/a", "AAA"),
                          LibraryFixtures::expanding("/b", "BBB")},
            [this](const QString& trigger, const QString&, const QString&) { expansions.append(trigger); });
    }

    // The replacement runs on the next turn of the event loop; the application reports its
    // edits afterwards.
    void settle()
    {
        scheduler.runDue();
        field->reportEdits();
    }

    // A key the user types at the end of the field while the engine is at work there: the field
    // takes it at once and reports it once the engine is done.
    std::function<void()> keyAtTheEnd(const QString& key)
    {
        return [this, key] {
            field->content.append(key);
            field->caretAt = field->content.size();
            field->unreported.append(TextFieldEvent{Kind::inserted, field, field->content.size() - 1, 1, key});
        };
    }

    // The same key typed where the caret stands.
    std::function<void()> keyAtTheCaret(const QString& key)
    {
        return [this, key] {
            field->content.insert(field->caretAt, key);
            field->unreported.append(TextFieldEvent{Kind::inserted, field, field->caretAt, 1, key});
            ++field->caretAt;
        };
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

TEST_F(FieldTyping, aSpaceSwappedWithTheNextCharacterGoesOnWithTheTyping)
{
    // As Chromium's editable regions report it: the trailing no-break space goes, and comes
    // back as a plain space together with the next character.
    field->type("Hi\u00a0");
    field->content = "Hi /";
    field->report(TextFieldEvent{Kind::deleted, field, 2, 1, QStringLiteral("\u00a0")});
    field->report(TextFieldEvent{Kind::inserted, field, 2, 2, QStringLiteral(" /")});
    field->moveCaret(4);
    field->type("sig");
    settle();
    EXPECT_EQ(field->content, "Hi " + signature);
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
    field->current.kind = FieldKind::password;
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

TEST_F(FieldTyping, anInsertionAnsweredLateOrReadBackLateInAGtk4EntryIsCompleted)
{
    field->caretFollowsInsert = false;
    field->type("Hi /sig");
    field->answerInsertLate = true;
    settle();
    EXPECT_EQ(field->content, "Hi " + signature);
    EXPECT_EQ(expansions, QStringList{"/sig"});
    // Nor do reads of it that go unanswered leave it half made.
    field->type(" /sig");
    field->afterInsert = [this] { field->unansweredReads = 4; };
    settle();
    EXPECT_EQ(field->content, "Hi " + signature + " " + signature);
    // Refused there, the trigger stays as typed.
    field->type(" /sig");
    field->refuseInsert = true;
    settle();
    EXPECT_EQ(field->content, "Hi " + signature + " " + signature + " /sig");
}

TEST_F(FieldTyping, anExpansionTheToolkitDoesNotInsertExactlyIsTakenOutAndTheTriggerPutBack)
{
    const QList<std::function<QString(const QString&)>> garbles{
        [](const QString& text) -> QString { return text + QString(3, QChar(0)); },
        [](const QString& text) -> QString { return text.left(text.size() - 2); },
    };
    for (const auto& garble : garbles) {
        field->content.clear();
        field->caretAt = 0;
        field->type("Hi /sig");
        field->garble = garble;
        settle();
        EXPECT_EQ(field->content, "Hi /sig");
        EXPECT_EQ(field->caretAt, field->content.size());
        settle();
    }
    EXPECT_TRUE(expansions.isEmpty());
    // Typing goes on as before.
    field->type(" /a");
    settle();
    EXPECT_EQ(field->content, "Hi /sig AAA");
    EXPECT_EQ(expansions, QStringList{"/a"});
}

TEST_F(FieldTyping, aKeyTypedDuringAnEditThatDoesNotReadBackStaysBehindTheTriggerPutBack)
{
    field->caretBehindInsert = true;
    field->type("Hi /sig");
    field->afterDelete = [this] {
        keyAtTheCaret(" ")();
        // No read of the edit is answered in time.
        field->unansweredReads = 8;
    };
    settle();
    field->type("ok");
    EXPECT_EQ(field->content, "Hi /sig ok");
    EXPECT_TRUE(expansions.isEmpty());
}

// The count read right after the edit can be off either way on a busy desktop: the insertion
// that reads back whole in its place is taken out, and no more, with the trigger put back.
TEST_F(FieldTyping, aCountReadWrongAfterTheEditTakesOutTheWholeInsertionAndNoKeyTypedBehindIt)
{
    for (const qint64 off : {-2, 5}) {
        field->content.clear();
        field->caretAt = 0;
        field->type("Hi /sig");
        field->afterInsert = [this, off] {
            if (off > 0)
                keyAtTheCaret(" ")();
            // Read right after the edit, once the caret went to the end.
            field->afterCountRead = [this, off] { field->countOnce = field->content.size() + off; };
        };
        settle();
        field->type("ok");
        EXPECT_EQ(field->content, off > 0 ? "Hi /sig ok" : "Hi /sigok") << off;
        settle();
    }
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(FieldTyping, aFieldEmptiedWhileTheExpansionIsCheckedGetsNothingPutBack)
{
    field->type("/sig");
    field->afterInsert = [this] {
        field->unreported.append(TextFieldEvent{Kind::deleted, field, 0, field->content.size(), field->content});
        field->content.clear();
        field->caretAt = 0;
    };
    settle();
    EXPECT_EQ(field->content, QString());
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
    // Where the caret stands: in front of an insertion at it, GTK 4's entries would take the
    // key there, ahead of the expansion.
    field->caretFollowsInsert = false;
    field->type("Hi /sig");
    field->afterInsert = keyAtTheCaret("!");
    settle();
    EXPECT_EQ(field->content, "Hi " + signature + "!");
    EXPECT_EQ(field->caretAt, field->content.size());
    EXPECT_EQ(expansions, QStringList{"/sig"});
    // Typing goes on from there, the key part of it.
    field->type("/a");
    settle();
    EXPECT_EQ(field->content, "Hi " + signature + "!AAA");
    // And where the insertion comes out wrong, the trigger stays as typed.
    field->type(" /sig");
    field->garble = [](const QString& text) -> QString { return text + QString(3, QChar(0)); };
    settle();
    EXPECT_EQ(field->content, "Hi " + signature + "!AAA /sig");
}

TEST_F(FieldTyping, aKeyTypedWhileTheCaretIsReadKeepsItsPlaceBeforeTheNextKeys)
{
    field->type("/sig");
    field->afterCaretRead = keyAtTheEnd(" ");
    settle();
    EXPECT_EQ(field->caretAt, field->content.size());
    field->type("ok");
    EXPECT_EQ(field->content, signature + " ok");
}

TEST_F(FieldTyping, keysLandingAtEveryLookAtTheCaretKeepTheirOrder)
{
    // A fast typist on a busy machine: a key lands each time the caret is read, so no caret read
    // fits the length read around it for a while; in a GTK 4 entry and where the toolkit puts the
    // caret behind an insertion.
    for (const bool caretFollowsInsert : {false, true}) {
        field->content.clear();
        field->caretAt = 0;
        field->caretFollowsInsert = caretFollowsInsert;
        field->type("z /b");
        const QString keys = QStringLiteral(" y w");
        qsizetype landed = 0;
        std::function<void()> keyAtEachLook = [&] {
            keyAtTheCaret(keys.at(landed++))();
            if (landed < keys.size())
                field->afterCaretRead = keyAtEachLook;
        };
        field->afterCaretRead = keyAtEachLook;
        settle();
        field->afterCaretRead = nullptr;
        field->type("!");
        settle();
        const QString typedOn = keys.left(landed) + "!";
        EXPECT_TRUE(field->content == "z BBB" + typedOn || field->content == "z /b" + typedOn)
            << caretFollowsInsert << ": " << field->content.toStdString();
    }
}

TEST_F(FieldTyping, aKeyTypedWhileTheEditIsReadBackStaysInFrontOfTheCaret)
{
    field->type("/a");
    field->afterInsert = keyAtTheEnd("/");
    settle();
    EXPECT_EQ(field->caretAt, field->content.size());
    field->type("b");
    settle();
    EXPECT_EQ(field->content, "AAABBB");
}

TEST_F(FieldTyping, aKeyTypedBetweenDeletionAndInsertionCanBeginTheNextTrigger)
{
    // GTK 3 puts the caret behind the insertion, in front of the key, and reports it before the
    // caret is set behind the key.
    field->caretBehindInsert = true;
    field->type("/a");
    field->afterDelete = [this] {
        field->content.insert(field->caretAt, "/");
        field->unreported.append(TextFieldEvent{Kind::inserted, field, field->caretAt, 1, "/"});
        ++field->caretAt;
    };
    settle();
    EXPECT_EQ(field->content, "AAA/");
    EXPECT_EQ(field->caretAt, 4);
    field->type("b");
    settle();
    EXPECT_EQ(field->content, "AAABBB");
    EXPECT_EQ(expansions, (QStringList{"/a", "/b"}));
}

TEST_F(FieldTyping, aKeyTakenInFrontOfAKeyTypedBeforeItDuringTheEditGoesBackBehindIt)
{
    // GTK 3 takes the "/" at the trigger's place between the deletion and the insertion, and puts
    // the caret behind the insertion, in front of it: the "b" typed before the caret is sent to
    // the end lands there. The two swap back, and "/b", typed across the edit, stays as typed.
    field->caretBehindInsert = true;
    field->type("/a");
    field->afterDelete = keyAtTheCaret("/");
    field->afterInsert = keyAtTheCaret("b");
    settle();
    field->reportEdits();
    EXPECT_EQ(field->content, "AAA/b");
    EXPECT_EQ(field->caretAt, field->content.size());
    field->type(" ok");
    settle();
    EXPECT_EQ(field->content, "AAA/b ok");
    EXPECT_EQ(expansions, QStringList{"/a"});
}

// Where the field no longer shows those keys as it reported them (it changed them itself), what
// stands there is left alone.
TEST_F(FieldTyping, keysTakenInFrontOfEarlierOnesThatDoNotReadBackAreLeftWhereTheyStand)
{
    field->caretBehindInsert = true;
    field->type("/a");
    field->afterDelete = keyAtTheCaret("/");
    field->afterInsert = [this] {
        keyAtTheCaret("b")();
        field->content.replace(3, 1, "B");
    };
    settle();
    field->reportEdits();
    EXPECT_EQ(field->content, "AAAB/");
}

TEST_F(FieldTyping, keysTypedDuringTheEditInTheMiddleOfTheTextStayBehindTheExpansionWithTheCaret)
{
    // Typed into the middle of a text, with keys typed on before the edit and one between the
    // deletion and the insertion: GTK 3 takes that key at the trigger's place and puts the caret
    // behind the insertion, in front of the key; Qt's line edits send the caret to the end of the
    // text on each edit, so the key lands there.
    for (const bool caretToEnd : {false, true}) {
        field->content = QStringLiteral("AB CD");
        field->caretAt = 3;
        field->caretBehindInsert = !caretToEnd;
        field->caretToEndOnEdit = caretToEnd;
        field->type("/sig");
        field->type(" x");
        field->afterDelete = keyAtTheCaret("y");
        settle();
        field->type("z/a");
        settle();
        EXPECT_EQ(field->content, "AB " + signature + " xyzAAACD") << caretToEnd;
    }
    EXPECT_EQ(expansions, (QStringList{"/sig", "/a", "/sig", "/a"}));
}

TEST_F(FieldTyping, aKeyTypedRightAfterTheCaretIsReadInTheMiddleOfTheTextLeavesTheTextBehindItAsItWas)
{
    // Qt's line edits send the caret to the end of the text on each edit. The key lands right
    // after the caret and the length were read, in front of the text behind the caret: read with
    // the key in front and its end cut off, that text was taken for where keys typed during the
    // edit ended, and its last letter moved ("AB Best regardsD C").
    field->content = QStringLiteral("AB CD");
    field->caretAt = 3;
    field->caretToEndOnEdit = true;
    field->type("/sig");
    field->afterCountRead = [this] { field->afterCountRead = keyAtTheCaret(" "); };
    settle();
    field->type("ok");
    settle();
    EXPECT_EQ(field->content, "AB " + signature + " okCD");
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

// A desktop that can also paste into the focused field (a wlroots compositor): fields whose text
// takes no edits by offsets get the trigger selected and the expansion pasted over it, the
// clipboard lent and given back. The page's field as the accessibility interface shows it is
// `page`; its reports come from `field`.
class FieldPasting : public FieldTyping {
protected:
    FieldPasting()
    {
        Desktop services = desktop.desktop();
        services.textFieldEvents = &events;
        services.pastesIntoFields = true;
        engine = std::make_unique<TextExpansionEngine>(services);
        engine->start({LibraryFixtures::expanding("/sig", signature)},
            [this](const QString& trigger, const QString&, const QString&) { expansions.append(trigger); });
        field->process = FakeDesktop::editorProcess;
        page = desktop.focusNewField();
        desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("copied"));
    }

    void typeIntoPage(const QString& text)
    {
        field->type(text);
        page->text = field->content;
        page->moveCaret(page->text.size());
    }

    // An empty page, and nothing expanded yet.
    void startAfresh()
    {
        field->content.clear();
        field->caretAt = 0;
        page->text.clear();
        page->moveCaret(0);
        expansions.clear();
    }

    // The page's field and its reports are one field: what the page shows, the reports count.
    void finishReplacement()
    {
        for (int step = 0; step < 200 && scheduler.pendingCount() > 0; ++step) {
            scheduler.advance(0.01);
            field->reportEdits();
            field->content = page->text;
            field->caretAt = page->selection.location + page->selection.length;
        }
    }

    // A key the user types into the page at its caret, which the page reports a moment later.
    void keyIntoPage(const QString& key)
    {
        const qint64 at = page->selection.location;
        page->insert(key);
        field->content = page->text;
        reportKeyLater(at, key);
    }

    // The page shows `text` with the caret at its end, "/sig" counts as expanded, and the user's
    // clipboard is back.
    void expectExpandedTo(const QString& text)
    {
        EXPECT_EQ(page->text, text);
        EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
        EXPECT_EQ(expansions, QStringList{"/sig"});
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }

    // Runs the replacement through, the first paste that lands made into what `onPaste` makes of
    // it (and keys typed meanwhile).
    void finishWithFirstPaste(std::function<QString(const QString&)> onPaste)
    {
        page->reshapesPaste = [onPaste, once = true](const QString& pasted) mutable {
            return std::exchange(once, false) ? onPaste(pasted) : pasted;
        };
        settle();
        finishReplacement();
        page->reshapesPaste = nullptr;
    }

    // Runs `key` right after the first read of the page's selection that finds a range selected,
    // as a key typed that very moment.
    void onceSelected(std::function<void()> key)
    {
        whenSelected = [this, key] {
            if (page->selection.length == 0) {
                page->afterSelectionRead = whenSelected;
                return;
            }
            key();
        };
        page->afterSelectionRead = whenSelected;
    }

    // Firefox's page under GNOME: no edits by offsets, keys through the desktop portal, which
    // shares the modifiers, and a selection shown a moment after it is asked for, before later keys.
    void firefoxUnderGnome()
    {
        field->current.offersEditing = false;
        desktop.keyboard.sharesModifiers = true;
        page->saysSelectionComesBeforeLaterKeys = true;
        page->selectionDelay = 0.005;
    }

    // Firefox's page under sway: no edits by offsets, keys from a keyboard of our own, and a
    // selection shown a moment after it is asked for, before later keys.
    void firefoxUnderSway()
    {
        field->current.offersEditing = false;
        page->saysSelectionComesBeforeLaterKeys = true;
        page->selectionDelay = 0.01;
    }

    // Firefox under GNOME: " o" reaches the page behind the trigger before its selection, and "k"
    // takes the selection's place before the paste, which lands in front of " o".
    void typeWithKeysOnBothSidesOfThePaste()
    {
        firefoxUnderGnome();
        typeIntoPage("Hi /sig");
        page->beforeSelectionApplies = [this] {
            keyIntoPage(QStringLiteral(" "));
            keyIntoPage(QStringLiteral("o"));
        };
        onceSelected([this] { keyIntoPage(QStringLiteral("k")); });
    }

    // Chromium under GNOME: "Hi /sig" typed, and a space that reaches the page behind the trigger
    // just before its selection shows.
    void typeIntoChromiumUnderGnomeWithASpaceBehind()
    {
        field->current.offersEditing = false;
        desktop.keyboard.sharesModifiers = true;
        page->selectionDelay = 0.005;
        typeIntoPage("Hi /sig");
        page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    }

    void reportKeyLater(qint64 at, const QString& key)
    {
        scheduler.after(0.001, nullptr,
            [this, at, key] { field->report(TextFieldEvent{Kind::inserted, field, at, 1, key}); });
    }

    // Thunderbird's compose window under sway: Gecko, edits by offsets answered and not made,
    // and End sent behind the paste handled before it.
    void thunderbirdUnderSway()
    {
        field->current.offersEditing = true;
        field->ignoresEdits = true;
        page->saysSelectionComesBeforeLaterKeys = true;
        page->selectionDelay = 0.005;
        page->handlesEndBeforePaste = true;
    }

    // The paste keys posted so far.
    qsizetype pastes() const
    {
        return std::count_if(desktop.keyboard.posted.cbegin(), desktop.keyboard.posted.cend(),
            [](const auto& posted) { return posted.second.press && posted.second.key == Qt::Key_V; });
    }

    std::shared_ptr<FakeTextField> page;
    std::function<void()> whenSelected;
};

// A field that handles End sent behind the paste before it: the paste lands behind the trigger
// shown selected, and is made again over both without End, as every later one goes.
TEST_F(FieldPasting, aFieldThatHandlesEndBeforeThePasteGetsTheExpansionOnceAndLaterOnesWithoutEnd)
{
    thunderbirdUnderSway();
    for (const bool learned : {false, true}) {
        startAfresh();
        const qsizetype before = pastes();
        typeIntoPage("Hi /sig");
        settle();
        finishReplacement();
        expectExpandedTo("Hi " + signature);
        // The first paste went with End and landed behind the trigger: made again over both, once.
        EXPECT_EQ(pastes() - before, learned ? 1 : 2) << learned;
    }
    // Keys typed on behind the trigger before the selection stay behind the expansion.
    startAfresh();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ");
}

// Thunderbird says who it is: its first paste already goes without End, keys typed on taken in.
TEST_F(FieldPasting, aFieldKnownToHandleKeysBehindThePasteFirstGetsItsFirstPasteWithoutEnd)
{
    thunderbirdUnderSway();
    page->saysKeysBehindPasteComeFirst = true;
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] {
        keyIntoPage(QStringLiteral(" "));
        keyIntoPage(QStringLiteral("o"));
    };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " o");
    EXPECT_EQ(pastes(), 1);
}

TEST_F(FieldPasting, aFieldThatTakesNoEditsGetsTheExpansionPastedAndTheClipboardBack)
{
    for (const bool answersEdits : {false, true}) {
        // Chromium offers no editing; Firefox offers it, answers yes and changes nothing.
        field->current.offersEditing = answersEdits;
        field->ignoresEdits = answersEdits;
        field->content.clear();
        field->caretAt = 0;
        expansions.clear();
        typeIntoPage("Hi /sig");
        settle();
        finishReplacement();
        EXPECT_EQ(page->text, "Hi " + signature) << answersEdits;
        EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0})) << answersEdits;
        EXPECT_EQ(expansions, QStringList{"/sig"}) << answersEdits;
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
        EXPECT_FALSE(engine->fieldTyping()->isReplacing());
    }
}

TEST_F(
    FieldPasting, aKeyTypedOnBeforeThePageWasLookedAtStaysBehindTheExpansionAndAPageThatIgnoresThePasteKeepsTheTrigger)
{
    field->current.offersEditing = false;
    typeIntoPage("/sig");
    // A key typed on at the end reached the field before the replacement looked.
    field->type("!");
    page->text = field->content;
    page->moveCaret(page->text.size());
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, signature + "!");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));

    field->type(" ");
    page->pasteDelay.reset();
    typeIntoPage("/sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, signature + "! /sig");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0})) << "the trigger is not left selected";
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

TEST_F(FieldPasting, pasteKeysTheKeyboardRefusesLeaveTheTriggerUnselectedForTheNextKey)
{
    field->current.offersEditing = false;
    desktop.keyboard.refuses = true;
    typeIntoPage("Hi /sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi /sig");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

TEST_F(FieldPasting, aKeyboardSessionThatEndedSelectsNothingAndOneThatLosesThePasteGivesAllBackAtOnce)
{
    field->current.offersEditing = false;
    desktop.keyboard.sessionGone = true;
    const int writes = desktop.pasteboard.writeCount();
    typeIntoPage("Hi /sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi /sig");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(desktop.pasteboard.writeCount(), writes) << "the clipboard was taken";

    // Ended once the paste keys were posted: the trigger is not left selected for the next key,
    // and the clipboard does not wait for a paste that cannot come.
    desktop.keyboard.sessionGone = false;
    desktop.keyboard.losesKeys = true;
    field->type(" ");
    typeIntoPage("/sig");
    settle();
    for (int step = 0; step < 10; ++step) {
        scheduler.advance(0.01);
        field->reportEdits();
    }
    EXPECT_FALSE(engine->fieldTyping()->isReplacing());
    EXPECT_EQ(page->text, "Hi /sig /sig");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

TEST_F(FieldPasting, aPasteKeyThatArrivesWithoutItsControlIsPastedAgainOverTheLetterItTyped)
{
    field->current.offersEditing = false;
    desktop.keyboard.losesControl = 1;
    typeIntoPage("Hi /sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature);
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

TEST_F(FieldPasting, keysTypedOverTheSelectionBeforeEachPasteArePutBackBehindTheExpansionInTheOrderTyped)
{
    field->current.offersEditing = false;
    // Whether the paste follows the selection at once or once the page shows it.
    for (const bool atOnce : {false, true}) {
        page->saysSelectionComesBeforeLaterKeys = atOnce;
        field->content.clear();
        field->caretAt = 0;
        expansions.clear();
        // The space replaces the selected trigger before the paste; the "o" then replaces the
        // space and expansion selected to be pasted again.
        desktop.keyboard.typedBeforePaste = {QStringLiteral(" "), QStringLiteral("o")};
        typeIntoPage("Hi /sig");
        settle();
        finishReplacement();
        EXPECT_EQ(page->text, "Hi " + signature + " o") << atOnce;
        EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0})) << atOnce;
        EXPECT_EQ(expansions, QStringList{"/sig"}) << atOnce;
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

// A busy page may answer a length of 0 at the look that finds the selection made to paste again in
// front of keys typed on shown (Firefox under load once did), or show that selection well after
// the first one: given up, the keys would stay where they landed.
TEST_F(FieldPasting, aBusyPageStillGetsThePasteAgainThatPutsKeysTypedOnInOrder)
{
    field->current.offersEditing = false;
    page->saysSelectionComesBeforeLaterKeys = true;
    const std::function<void()> busy[] = {[this] { field->countOnce = 0; }, [this] { page->selectionDelay = 0.3; }};
    for (const std::function<void()>& way : busy) {
        startAfresh();
        page->selectionDelay = 0;
        desktop.keyboard.typedBeforePaste = {QStringLiteral(" ")};
        typeIntoPage("Hi /sig");
        page->onSelect = [this, way](TextRange) { page->onSelect = [way](TextRange) { way(); }; };
        settle();
        finishReplacement();
        EXPECT_EQ(page->text, "Hi " + signature + " ");
        EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
        EXPECT_EQ(expansions, QStringList{"/sig"});
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

// A key that takes the place of the selection made to paste again, the busy page answering a
// length of 0 at that look with its caret behind the key: the paste still goes, or the expansion
// would be gone with nothing in its place ("Hi k").
TEST_F(FieldPasting, aKeyOverTheSelectionForPastingAgainStillGetsThePasteWhereTheLengthIsNoAnswer)
{
    field->current.offersEditing = false;
    page->saysSelectionComesBeforeLaterKeys = true;
    desktop.keyboard.typedBeforePaste = {QStringLiteral(" ")};
    typeIntoPage("Hi /sig");
    page->onSelect = [this](TextRange) {
        page->onSelect = [this](TextRange) {
            scheduler.after(0.001, nullptr, [this] {
                keyIntoPage(QStringLiteral("k"));
                field->countOnce = 0;
            });
        };
    };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " k");
}

// Firefox under GNOME: keys that reached the page behind the selected trigger are to be selected
// with it, and the busy page refuses that selection. The selection it shows is still ours: the
// next key must not replace it.
TEST_F(FieldPasting, aSelectionWithTheKeysBehindItThatIsRefusedLeavesNoSelectionForTheNextKey)
{
    firefoxUnderGnome();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    page->onSelect = [this](TextRange) { page->unansweredSelections = 1; };
    settle();
    finishReplacement();
    page->insert(QStringLiteral("k"));
    EXPECT_EQ(page->text, "Hi /sig k");
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

// The same, with the next key already over the selection shown when the page refuses the one
// with the space: the trigger is gone, and the paste must still come, in front of the keys.
TEST_F(FieldPasting, aKeyOverTheShownSelectionWhenTheOneWithKeysBehindIsRefusedStillGetsThePaste)
{
    firefoxUnderGnome();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    // The "o" comes as the expansion with the space goes on the clipboard, just before that
    // selection is asked for, which no longer fits the text.
    desktop.pasteboard.setAfterWrite([this, once = true]() mutable {
        if (desktop.pasteboard.plainText() == signature + " " && std::exchange(once, false))
            keyIntoPage(QStringLiteral("o"));
    });
    settle();
    finishReplacement();
    keyIntoPage(QStringLiteral("k"));
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");

    // The "o" comes right after the look read the trigger in place, before the space behind it
    // is read: the space cannot be taken into the selection, and the trigger is gone.
    startAfresh();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    desktop.pasteboard.setAfterWrite(nullptr);
    std::function<void()> onceTriggerRead = [this, &onceTriggerRead] {
        if (page->selection != TextRange{3, 4} || page->text != "Hi /sig ")
            page->afterTextRead = onceTriggerRead;
        else
            keyIntoPage(QStringLiteral("o"));
    };
    page->afterTextRead = onceTriggerRead;
    settle();
    finishReplacement();
    keyIntoPage(QStringLiteral("k"));
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");
}

// The paste behind an "o" that took the trigger's place leaves the caret in front of the space
// that had reached the page behind the trigger: the "k" lands there, inside the range selected to
// paste it all again in order, before that selection applies.
TEST_F(FieldPasting, aKeyInsideTheRangeOfAPasteMadeAgainIsTakenIntoIt)
{
    firefoxUnderGnome();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] {
        keyIntoPage(QStringLiteral(" "));
        page->beforeSelectionApplies = [this] {
            if (page->text.contains(signature))
                keyIntoPage(QStringLiteral("k"));
        };
    };
    desktop.pasteboard.setAfterWrite([this, once = true]() mutable {
        if (desktop.pasteboard.plainText() == signature + " " && std::exchange(once, false))
            keyIntoPage(QStringLiteral("o"));
    });
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");
}

// The "o" takes the place of the trigger shown selected just as the selection with the space
// behind it is asked for, which the page then applies over the "o". The "k" comes after all that,
// or over the "o" while that selection covers it: then only the page's reports still have the "o".
TEST_F(FieldPasting, aKeyOverTheTriggerBeforeTheSelectionWithTheKeysBehindItIsNeitherPastedNorTypedOver)
{
    firefoxUnderGnome();
    // A key the page takes at once, over its selection, and reports with what it replaced.
    const auto key = [this](const QString& typed) {
        const TextRange over = page->selection;
        const QString gone = page->text.mid(over.location, over.length);
        page->insert(typed);
        field->content = page->text;
        if (!gone.isEmpty())
            field->report(TextFieldEvent{Kind::deleted, field, over.location, over.length, gone});
        field->report(TextFieldEvent{Kind::inserted, field, over.location, typed.size(), typed});
    };
    for (const bool typedOver : {false, true}) {
        startAfresh();
        typeIntoPage("Hi /sig");
        page->beforeSelectionApplies = [key] { key(QStringLiteral(" ")); };
        page->onSelect = [this, key, typedOver](TextRange) {
            page->onSelect = [this, key, typedOver](TextRange) {
                key(QStringLiteral("o"));
                if (typedOver) {
                    page->beforeSelectionApplies = [this, key] {
                        scheduler.after(0, nullptr, [this, key] {
                            page->selection = TextRange{3, 1};
                            key(QStringLiteral("k"));
                        });
                    };
                }
            };
        };
        settle();
        finishReplacement();
        if (!typedOver) {
            key(QStringLiteral("k"));
            finishReplacement();
        }
        expectExpandedTo("Hi " + signature + " ok");
    }
}

// A page that never shows that selection, or shows it and ignores the paste, keeps the expansion
// with the keys where they landed: what arrived counts as the expansion it is.
TEST_F(FieldPasting, anExpansionWhosePasteAgainNeverArrivesCountsAsExpanded)
{
    field->current.offersEditing = false;
    page->saysSelectionComesBeforeLaterKeys = true;
    for (const bool selectionShows : {false, true}) {
        SCOPED_TRACE(selectionShows ? "the paste again ignored" : "its selection never shown");
        startAfresh();
        page->selectionDelay = 0;
        desktop.keyboard.typedBeforePaste = {QStringLiteral(" ")};
        typeIntoPage("Hi /sig");
        page->onSelect = [this, selectionShows](TextRange) {
            page->onSelect = [this, selectionShows](TextRange) {
                if (selectionShows)
                    page->pasteDelay.reset();
                else
                    page->selectionDelay = 60;
            };
        };
        settle();
        finishReplacement();
        EXPECT_TRUE(page->text.contains(signature)) << page->text.toStdString();
        EXPECT_FALSE(page->text.contains("/sig"));
        EXPECT_EQ(expansions, QStringList{"/sig"});
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

// A page that takes each paste made again to put keys in order, but shows those keys behind the
// expansion in another order than they were pasted (Thunderbird under GNOME, loaded, reported
// " ok" inserted where "ok " had been selected), perhaps with a key typed since behind them: the
// expansion stands whole where the trigger was, and counts once the engine gives up putting the
// keys in order. Not where one of those keys is lost, nor where another key stands in front of
// them.
TEST_F(FieldPasting, aPasteAgainShownWithItsKeysInAnotherOrderCountsAsExpandedOnlyWhole)
{
    field->current.offersEditing = false;
    page->saysSelectionComesBeforeLaterKeys = true;
    struct Shown {
        const char* how;
        std::function<QString(const QString&)> keys;
        bool whole;
    };
    const Shown ways[] = {
        {"reordered", [](const QString& keys) -> QString { return keys; }, true},
        {"a key typed since behind them", [](const QString& keys) -> QString { return keys + QChar(u'k'); }, true},
        {"one lost", [](const QString& keys) -> QString { return keys.left(keys.size() - 1); }, false},
        {"another in front of them", [](const QString& keys) -> QString { return QChar(u'k') + keys; }, false},
    };
    for (const Shown& way : ways) {
        SCOPED_TRACE(way.how);
        const bool whole = way.whole;
        startAfresh();
        page->selectionDelay = 0;
        desktop.keyboard.typedBeforePaste = {QStringLiteral(" "), QStringLiteral("o")};
        typeIntoPage("Hi /sig");
        page->reshapesPaste = [shown = way.keys](const QString& pasted) -> QString {
            if (!pasted.startsWith(signature) || pasted.size() <= signature.size())
                return pasted;
            QString keys = pasted.mid(signature.size());
            std::reverse(keys.begin(), keys.end());
            return signature + shown(keys);
        };
        settle();
        finishReplacement();
        page->reshapesPaste = nullptr;
        if (whole) {
            EXPECT_TRUE(page->text.startsWith("Hi " + signature)) << page->text.toStdString();
        }
        EXPECT_EQ(expansions, whole ? QStringList{"/sig"} : QStringList()) << page->text.toStdString();
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

TEST_F(FieldPasting, thePasteWaitsForThePageToShowTheSelectionAndKeysTypedMeanwhileKeepTheirOrder)
{
    field->current.offersEditing = false;
    // The page applies the selection well after a paste sent at once would have landed.
    page->selectionDelay = 0.05;
    typeIntoPage("Hi /sig");
    settle();
    // A key reaches the page before the selection, two more between the selection and the paste.
    typeIntoPage(" ");
    desktop.keyboard.typedBeforePaste = {QStringLiteral("ok")};
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature + " ok");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

// Under GNOME the paste goes through the desktop portal, a round trip later, and the page is read
// as it was a moment ago: a key that reached it just before the selection shows only with the
// selection. It goes with the trigger into what is pasted, so the caret ends behind it.
TEST_F(FieldPasting, aKeyThatReachedThePageJustBeforeTheSelectionStaysInFrontOfTheCaret)
{
    firefoxUnderGnome();
    page->beforeSelectionApplies = [this] {
        page->insert(QStringLiteral(" "));
        field->content = page->text;
    };
    typeIntoPage("Hi /sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature + " ");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(expansions, QStringList{"/sig"});

    // The page may report the selection a moment before that key's text.
    startAfresh();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] {
        page->insert(QStringLiteral(" "));
        scheduler.after(0.002, nullptr, [this] { field->content = page->text; });
    };
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature + " ");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(expansions, QStringList{"/sig"});

    // A key that takes the shown selection's place before the paste leaves less text than the
    // trigger's end: the paste still goes, and the key ends behind the expansion, also where
    // the busy page does not answer at once whether it still has the focus.
    startAfresh();
    typeIntoPage("Hi /sig");
    std::function<void()> takePlace = [this, &takePlace] {
        if (page->selection.length == 0) {
            page->afterSelectionRead = takePlace;
            return;
        }
        page->insert(QStringLiteral("!"));
        field->content = page->text;
        field->unansweredStates = 1;
    };
    page->afterSelectionRead = takePlace;
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature + "!");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

// Firefox under GNOME at 20 ms per key: the key after the trigger is reported before the
// replacement first looks at the page. Behind the trigger it stands where no selection goes.
TEST_F(FieldPasting, aKeyTypedOnBehindTheTriggerBeforeTheFirstLookStillLetsItExpand)
{
    firefoxUnderGnome();
    typeIntoPage("Hi /sig");
    // The key comes once the replacement has read the caret, and is reported before its next look.
    field->afterCaretRead = [this] {
        page->insert(QStringLiteral(" "));
        field->content = page->text;
        scheduler.after(0, nullptr, [this] {
            field->report(TextFieldEvent{Kind::inserted, field, 7, 1, QStringLiteral(" ")});
        });
    };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ");
}

// A page that takes keys typed on and the paste before the selection it already reported (Firefox
// on sway): the paste lands behind those keys, the trigger still in place and selected only
// afterwards, or never. Trigger and expansion must not both stay: all of it is pasted over again.
TEST_F(FieldPasting, aPasteThatLandedBehindKeysTypedOnLeavesNoTriggerInFrontOfIt)
{
    field->current.offersEditing = false;
    for (const bool selectedAfterThePaste : {false, true}) {
        startAfresh();
        typeIntoPage("Hi /sig");
        const TextRange trigger{3, 4};
        page->selectionDelay.reset();
        page->onSelect = [this](TextRange range) { page->selectionAnswer = range; };
        desktop.keyboard.typedBeforePaste = {QStringLiteral(" ok")};
        page->reshapesPaste = [this, trigger, selectedAfterThePaste, once = true](const QString& pasted) mutable {
            if (std::exchange(once, false)) {
                Scheduler::current().after(0, nullptr, [this, trigger, selectedAfterThePaste] {
                    page->selectionAnswer.reset();
                    page->selectionDelay = 0;
                    if (selectedAfterThePaste)
                        page->selection = trigger;
                });
            }
            return pasted;
        };
        settle();
        finishReplacement();
        page->reshapesPaste = nullptr;
        EXPECT_EQ(page->text, "Hi " + signature + " ok") << selectedAfterThePaste;
        EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0})) << selectedAfterThePaste;
        EXPECT_EQ(expansions, QStringList{"/sig"}) << selectedAfterThePaste;
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

// A page too busy to apply the selection, or to say where it stands, while keys typed on reach it
// behind the trigger: the trigger stays as typed, and the caret goes behind those keys, where the
// next ones belong.
TEST_F(FieldPasting, aSelectionThatNeverShowsLeavesTheCaretBehindTheKeysTypedOn)
{
    field->current.offersEditing = false;
    typeIntoPage("Hi /sig");
    page->onSelect = [this](TextRange) {
        page->selectionDelay.reset();
        Scheduler::current().after(0.01, nullptr, [this] {
            page->insert(QStringLiteral(" ok"));
            page->selectionDelay = 0;
            page->selectionAnswer = std::optional<TextRange>();
        });
    };
    settle();
    finishReplacement();
    page->selectionAnswer.reset();
    page->insert(QStringLiteral("!"));
    EXPECT_EQ(page->text, "Hi /sig ok!");
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

// The page reports the caret a moment after the text. A space that reaches it right after the
// look that found the trigger at the end stays behind the expansion, the caret behind it; one
// that had reached it before that look, the caret still reported in front of it, cannot be told
// from text that stood there: the keys typed on never land in front of the space.
TEST_F(FieldPasting, aKeyTheCaretIsReportedLateForStaysBehindTheExpansionOrTheTriggerIsLeftAsTyped)
{
    field->current.offersEditing = false;
    page->selectionDelay = 0.01;
    for (const bool beforeTheLook : {false, true}) {
        startAfresh();
        typeIntoPage("Hi /sig");
        const qint64 end = page->text.size();
        const auto space = [this, end] {
            field->content.append(u' ');
            page->text.append(u' ');
            page->moveCaret(end + 1);
            page->selectionAnswer = TextRange{end, 0};
            Scheduler::current().after(0.02, nullptr, [this, end] {
                page->selectionAnswer.reset();
                field->unreported.append(TextFieldEvent{Kind::inserted, field, end, 1, QStringLiteral(" ")});
            });
        };
        if (beforeTheLook)
            space();
        else
            page->afterSelectionRead = space;
        settle();
        finishReplacement();
        page->insert(QStringLiteral("ok"));
        if (beforeTheLook) {
            EXPECT_EQ(page->text, "Hi /sig ok");
        } else {
            EXPECT_EQ(page->text, "Hi " + signature + " ok");
            EXPECT_EQ(expansions, QStringList{"/sig"});
        }
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

TEST_F(FieldPasting, keysTypedBehindAKeyThatTookTheTriggersPlaceBeforeThePasteCameKeepTheirOrder)
{
    field->current.offersEditing = false;
    page->selectionDelay = 0.01;
    for (const bool spaceBehindFirst : {false, true}) {
        startAfresh();
        typeIntoPage("Hi /sig");
        settle();
        // The space replaces the trigger the moment the page shows it selected, and the "o" comes
        // behind the space before the paste does; or the space reaches the page behind the
        // trigger before the selection, the "o" replaces the trigger, and the "k" comes behind it
        // before the paste.
        if (spaceBehindFirst) {
            Scheduler::current().after(0.005, nullptr, [this] {
                page->text.append(u' ');
                field->content = page->text;
            });
        }
        Scheduler::current().after(0.011, nullptr,
            [this, spaceBehindFirst] { page->insert(spaceBehindFirst ? QStringLiteral("o") : QStringLiteral(" ")); });
        desktop.keyboard.typedBeforePaste = {spaceBehindFirst ? QStringLiteral("k") : QStringLiteral("o")};
        finishReplacement();
        if (!spaceBehindFirst)
            page->insert(QStringLiteral("k"));
        EXPECT_EQ(page->text, "Hi " + signature + " ok") << spaceBehindFirst;
        EXPECT_EQ(expansions, QStringList{"/sig"}) << spaceBehindFirst;
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

// Firefox under sway: a space that reached the page behind the trigger before its selection shows
// in the page's text only a moment after the selection. An "o" then takes the selection's place
// before the paste, and a "k" comes behind the paste: the space, typed first, still goes first.
TEST_F(FieldPasting, aKeyThePageShowsOnlyAfterTheSelectionStaysInFrontOfTheKeysTypedAfterIt)
{
    field->current.offersEditing = false;
    page->saysSelectionComesBeforeLaterKeys = true;
    page->selectionDelay = 0.01;
    typeIntoPage("Hi /sig");
    std::function<void()> spaceFirst = [this, &spaceFirst] {
        if (page->selection.length == 0) {
            page->afterSelectionRead = spaceFirst;
            return;
        }
        page->text.append(u' ');
        scheduler.after(0.002, nullptr, [this] { field->content = page->text; });
    };
    page->afterSelectionRead = spaceFirst;
    desktop.keyboard.typedBeforePaste = {QStringLiteral("o")};
    page->reshapesPaste = [this, once = true](const QString& pasted) mutable {
        if (std::exchange(once, false))
            scheduler.after(0.001, nullptr, [this] { page->insert(QStringLiteral("k")); });
        return pasted;
    };
    settle();
    finishReplacement();
    page->reshapesPaste = nullptr;
    EXPECT_EQ(page->text, "Hi " + signature + " ok");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));

    // The same space, with "ok" taking the selection's place before the page is looked at.
    startAfresh();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { page->text.append(u' '); };
    std::function<void()> takePlace = [this, &takePlace] {
        if (page->selection.length == 0) {
            page->afterSelectionRead = takePlace;
            return;
        }
        page->insert(QStringLiteral("ok"));
        field->content = QStringLiteral("Hi ok");
        scheduler.after(0.002, nullptr, [this] { field->content = page->text; });
    };
    page->afterSelectionRead = takePlace;
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature + " ok");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_EQ(expansions, QStringList{"/sig"});
}

// Keys typed on end up on both sides of the paste, in another order than typed: they go behind
// the expansion in the order the page reported them.
TEST_F(FieldPasting, keysOnBothSidesOfThePasteGoBehindItInTheOrderThePageReportedThem)
{
    typeWithKeysOnBothSidesOfThePaste();
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");

    // Chromium under GNOME, whose End follows the paste a round trip later: " " reaches the page
    // behind the selected trigger, "o" takes the selection's place before the paste, and "k" comes
    // right behind the paste, in front of the space, before End.
    startAfresh();
    page->saysSelectionComesBeforeLaterKeys = false;
    page->afterSelectionRead = nullptr;
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    desktop.keyboard.typedBeforePaste = {QStringLiteral("o")};
    finishWithFirstPaste([this](const QString& pasted) {
        reportKeyLater(3, QStringLiteral("o"));
        reportKeyLater(4 + pasted.size(), QStringLiteral("k"));
        return QString(pasted + QStringLiteral("k"));
    });
    expectExpandedTo("Hi " + signature + " ok");

    // The same, with "o" taking the selection's place before the page is looked at: the paste
    // lands behind it, and "k" at the caret the paste left, between it and the space.
    startAfresh();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    onceSelected([this] { keyIntoPage(QStringLiteral("o")); });
    finishWithFirstPaste([](const QString& pasted) { return QString(pasted + QStringLiteral("k")); });
    expectExpandedTo("Hi " + signature + " ok");
}

// Chromium under GNOME, loaded: a space takes the selected trigger's place and the paste that
// follows it never shows. The trigger goes back in front of the keys typed on, not lost.
TEST_F(FieldPasting, aPasteThatNeverShowsAfterAKeyTookTheTriggersPlaceGetsTheTriggerBack)
{
    field->current.offersEditing = false;
    desktop.keyboard.sharesModifiers = true;
    typeIntoPage("Hi /sig");
    desktop.keyboard.onPasteKey = [this] {
        desktop.keyboard.onPasteKey = nullptr;
        keyIntoPage(QStringLiteral(" "));
    };
    finishWithFirstPaste([this](const QString&) {
        scheduler.after(0.03, nullptr, [this] { keyIntoPage(QStringLiteral("o")); });
        scheduler.after(0.07, nullptr, [this] { keyIntoPage(QStringLiteral("k")); });
        return QString();
    });
    EXPECT_EQ(page->text, "Hi /sig ok");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

// Chromium under GNOME: " o" reaches the page behind the trigger before its selection, and "k",
// typed at the caret the paste left before End came, is reported together with the paste: the
// keys that stood behind the trigger were typed first.
TEST_F(FieldPasting, aKeyReportedWithThePasteInFrontOfKeysTypedBeforeItEndsBehindThem)
{
    typeIntoChromiumUnderGnomeWithASpaceBehind();
    page->beforeSelectionApplies = [this] {
        keyIntoPage(QStringLiteral(" "));
        keyIntoPage(QStringLiteral("o"));
    };
    finishWithFirstPaste([](const QString& pasted) { return QString(pasted + QStringLiteral("k")); });
    expectExpandedTo("Hi " + signature + " ok");

    // " " behind the trigger, "o" over the selection the page has shown, "k" before End.
    startAfresh();
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    desktop.keyboard.typedBeforePaste = {QStringLiteral("o")};
    finishWithFirstPaste([](const QString& pasted) { return QString(pasted + QStringLiteral("k")); });
    expectExpandedTo("Hi " + signature + " ok");
}

// Chromium under GNOME, loaded: the paste made again to put keys in order shows nothing, End
// collapsing its selection. It goes once more, or the keys would stay out of order.
// With a key typed over its selection first, the expansion goes again with the keys behind it.
TEST_F(FieldPasting, aPasteMadeAgainInOrderThatShowsNothingGoesOnceMore)
{
    for (const bool keyOver : {false, true}) {
        startAfresh();
        typeIntoChromiumUnderGnomeWithASpaceBehind();
        onceSelected([this] { keyIntoPage(QStringLiteral("o")); });
        desktop.keyboard.onPasteKey = [this, keyOver, pastes = 0]() mutable {
            if (++pastes != 2)
                return;
            if (keyOver)
                keyIntoPage(QStringLiteral("x"));
            page->pasteDelay.reset();
            scheduler.after(0.01, nullptr, [this] {
                page->pasteDelay = 0.01;
                page->moveCaret(page->text.size());
            });
        };
        finishWithFirstPaste([](const QString& pasted) { return QString(pasted + QStringLiteral("k")); });
        expectExpandedTo("Hi " + signature + (keyOver ? " okx" : " ok"));
    }
}

// A busy page may show the selection gone at the paste key well before the text the paste puts
// in its place: the keys still out of order then are the paste's to set right, and a paste made
// again over them would take the clipboard from it as it reads.
TEST_F(FieldPasting, aPasteMadeAgainInOrderIsWaitedForBeforeAnyOther)
{
    typeWithKeysOnBothSidesOfThePaste();
    int pastes = 0;
    desktop.keyboard.onPasteKey = [this, &pastes] {
        if (++pastes != 2)
            return;
        page->pasteDelay = 0.15;
        page->selectionAnswer = TextRange{page->text.size(), 0};
        page->reshapesPaste = [this](const QString& pasted) {
            page->selectionAnswer.reset();
            return pasted;
        };
    };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");
    EXPECT_EQ(pastes, 2);
}

// Chromium under GNOME: End goes behind the paste a round trip later, and a key typed in that
// moment lands in front of the keys that had reached the page behind the trigger.
TEST_F(FieldPasting, aKeyTypedBeforeTheKeysBehindThePasteAreOutStillEndsInTheOrderTyped)
{
    field->current.offersEditing = false;
    desktop.keyboard.sharesModifiers = true;
    desktop.keyboard.followingKeySeconds = 0.1;
    page->selectionDelay = 0.005;
    typeIntoPage("Hi /sig");
    page->beforeSelectionApplies = [this] { keyIntoPage(QStringLiteral(" ")); };
    finishWithFirstPaste([this](const QString& pasted) {
        scheduler.after(0.035, nullptr, [this] { keyIntoPage(QStringLiteral("o")); });
        return pasted;
    });
    expectExpandedTo("Hi " + signature + " o");
}

// A key that took the selection's place in a report of its own with other changes (Chromium's)
// is not reported on its own: without the paste the trigger would be lost, so it still goes.
TEST_F(FieldPasting, aKeyInTheSelectionsPlaceThatWasNotReportedOnItsOwnStillGetsThePaste)
{
    typeIntoChromiumUnderGnomeWithASpaceBehind();
    onceSelected([this] {
        page->insert(QStringLiteral("o"));
        field->content = page->text;
    });
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " o");
}

// A page kept busy shows the selection for pasting again in order only after a while: given up,
// the keys would stay where they stood, in front of the expansion.
TEST_F(FieldPasting, aSelectionForPastingAgainInOrderIsWaitedForLonger)
{
    firefoxUnderGnome();
    typeIntoPage("Hi /sig");
    desktop.keyboard.typedBeforePaste = {QStringLiteral(" ")};
    finishWithFirstPaste([this](const QString& pasted) {
        reportKeyLater(3, QStringLiteral(" "));
        page->selectionDelay = 0.4;
        return pasted;
    });
    expectExpandedTo("Hi " + signature + " ");
}

// Firefox under sway: a key that reaches the page behind the paste made again, just after the
// look that told what to paste again and before its selection, with the caret reported in front
// of it for a moment, still ends behind the expansion, where the next key goes.
TEST_F(FieldPasting, aKeyArrivingAsThePasteIsMadeAgainStaysBehindTheExpansion)
{
    field->current.offersEditing = false;
    page->saysSelectionComesBeforeLaterKeys = true;
    page->selectionDelay = 0.01;
    typeIntoPage("Hi /sig");
    desktop.keyboard.typedBeforePaste = {QStringLiteral(" ")};
    // The "o" comes as the expansion goes on the clipboard again, with the space behind it.
    desktop.pasteboard.setAfterWrite([this, once = true]() mutable {
        if (desktop.pasteboard.plainText() != signature + " " || !std::exchange(once, false))
            return;
        keyIntoPage(QStringLiteral("o"));
        page->selectionAnswer = TextRange{page->text.size() - 1, 0};
        scheduler.after(0.005, nullptr, [this] { page->selectionAnswer.reset(); });
    });
    settle();
    finishReplacement();
    page->insert(QStringLiteral("k"));
    EXPECT_EQ(page->text, "Hi " + signature + " ok");
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

// A key that lands inside the trigger before its selection shows (a caret the page had not moved
// on yet) leaves the selection over other text than the trigger: no paste goes over it.
TEST_F(FieldPasting, aSelectionOverOtherTextThanKeysTypedGetsNoPaste)
{
    field->current.offersEditing = false;
    page->selectionDelay = 0.005;
    for (const bool atOnce : {false, true}) {
        startAfresh();
        desktop.keyboard.sharesModifiers = atOnce;
        page->saysSelectionComesBeforeLaterKeys = atOnce;
        typeIntoPage("Hi /sig");
        page->beforeSelectionApplies = [this] {
            page->moveCaret(5);
            keyIntoPage(QStringLiteral("x"));
        };
        settle();
        finishReplacement();
        EXPECT_EQ(page->text, "Hi /sxig") << atOnce;
        EXPECT_EQ(page->selection.length, 0) << atOnce;
        EXPECT_TRUE(expansions.isEmpty()) << atOnce;
        EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
    }
}

TEST_F(FieldPasting, aPasteThePageTakesAfterTheLooksGaveUpGetsTheExpansionNotTheUsersClipboard)
{
    // The clipboard cannot tell whether the page read it.
    field->current.offersEditing = false;
    page->pasteDelay = 1.5;
    typeIntoPage("Hi /sig");
    settle();
    for (int step = 0; step < 500 && scheduler.pendingCount() > 0; ++step)
        scheduler.advance(0.01);
    EXPECT_TRUE(page->text.endsWith(signature)) << page->text.toStdString();
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

TEST_F(FieldPasting, pasteKeysStillOnTheirWayAreWaitedForAndAGiveUpLeavesNoneToCome)
{
    field->current.offersEditing = false;
    // Keys that arrive within the time the paste is given expand.
    desktop.keyboard.handOverSeconds = 0.3;
    typeIntoPage("Hi /sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "Hi " + signature);

    // Keys later than that are taken back: the trigger stays as typed, not selected, the
    // clipboard goes back, and no paste comes afterwards (it would paste the user's clipboard).
    desktop.keyboard.handOverSeconds = 5;
    field->content.clear();
    field->caretAt = 0;
    typeIntoPage("/sig");
    settle();
    finishReplacement();
    scheduler.advance(6);
    EXPECT_EQ(page->text, "/sig");
    EXPECT_EQ(page->selection, (TextRange{page->text.size(), 0}));
    EXPECT_FALSE(desktop.keyboard.keysPending());
    EXPECT_EQ(expansions, QStringList{"/sig"});
    EXPECT_EQ(desktop.pasteboard.items(), (QList<PasteboardItem>{{{ClipboardFormats::utf8Text, "copied"}}}));
}

TEST_F(FieldPasting, aPasswordFieldIsNeverPastedInto)
{
    field->current.offersEditing = false;
    page->fieldKind = FieldKind::password;
    typeIntoPage("/sig");
    settle();
    finishReplacement();
    EXPECT_EQ(page->text, "/sig");
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
}
}

// Firefox's rich-text region on sway: a space typed over the shown selection stands last behind
// "Hi ", where the page shows it as a no-break space, and reports it as the run " /sig" become
// "  "; an "o" comes before the paste, and makes it a plain space again ("Hi  o", reported as " "
// become " o"); the paste lands behind them, a "k" behind the paste. Read back, the keys in front
// of the expansion came before it: all of it is pasted again with them behind, in the order typed.
TEST_F(FieldPasting, keysInFrontOfThePasteInARichRegionWhoseSpacesChangeKindGoBehindIt)
{
    firefoxUnderSway();
    typeIntoPage("Hi /sig");
    onceSelected([this] {
        page->insert(QString(QChar::Nbsp));
        field->content = page->text;
        scheduler.after(0.001, nullptr, [this] {
            field->report(TextFieldEvent{Kind::deleted, field, 2, 5, QStringLiteral(" /sig")});
            field->report(TextFieldEvent{Kind::inserted, field, 2, 2, QStringLiteral(" \u00a0")});
        });
    });
    desktop.keyboard.onPasteKey = [this] {
        desktop.keyboard.onPasteKey = nullptr;
        page->insert(QStringLiteral("o"));
        page->text.replace(QChar::Nbsp, u' ');
        field->content = page->text;
        scheduler.after(0.001, nullptr, [this] {
            field->report(TextFieldEvent{Kind::deleted, field, 3, 1, QStringLiteral("\u00a0")});
            field->report(TextFieldEvent{Kind::inserted, field, 3, 2, QStringLiteral(" o")});
        });
    };
    finishWithFirstPaste([this](const QString& pasted) {
        scheduler.after(0.03, nullptr, [this, pasted] {
            field->report(TextFieldEvent{Kind::inserted, field, 5, pasted.size(), pasted});
            keyIntoPage(QStringLiteral("k"));
        });
        return pasted;
    });
    expectExpandedTo("Hi " + signature + " ok");
    EXPECT_EQ(pastes(), 2);
}

// Firefox under sway: the selection asked for to paste again in order never shows, a "k"
// reaching the page behind it meanwhile. What it was to cover still stands there: it is asked
// for once more, with the "k" behind, rather than the keys left in front of the expansion.
TEST_F(FieldPasting, aSelectionForPastingAgainThatThePageDropsIsAskedForOnceMore)
{
    firefoxUnderSway();
    typeIntoPage("Hi /sig");
    desktop.keyboard.typedBeforePaste = {QStringLiteral(" o")};
    page->onSelect = [this](TextRange) {
        page->onSelect = [this](TextRange) {
            page->selectionDelay.reset();
            keyIntoPage(QStringLiteral("k"));
            page->onSelect = [this](TextRange) { page->selectionDelay = 0.01; };
        };
    };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");
    EXPECT_EQ(pastes(), 2);
}

// Chromium under GNOME: a space that reached the page behind the trigger before its selection
// shows as a no-break space while it stands last, and as a space once text follows it. An "o"
// lands right behind the paste, in front of it; the paste made again to put the space first is
// then taken by a "k" typed over its selection. What is pasted again holds the space as typed,
// which the page shows as it was pasted, and the "k" goes behind it too.
TEST_F(FieldPasting, aSpaceThePageShowsAsANoBreakSpaceWhileLastIsPastedAgainAsTheSpaceTyped)
{
    typeIntoChromiumUnderGnomeWithASpaceBehind();
    const auto showSpacesAsChromium = [this] {
        page->text.replace(QChar::Nbsp, u' ');
        if (page->text.endsWith(u' '))
            page->text.back() = QChar::Nbsp;
        field->content = page->text;
    };
    page->beforeSelectionApplies = [this, showSpacesAsChromium] {
        keyIntoPage(QStringLiteral(" "));
        showSpacesAsChromium();
    };
    page->reshapesPaste = [this, showSpacesAsChromium, first = true](const QString& pasted) mutable {
        scheduler.after(0, nullptr, showSpacesAsChromium);
        if (!std::exchange(first, false))
            return pasted;
        onceSelected([this] { keyIntoPage(QStringLiteral("k")); });
        reportKeyLater(3 + pasted.size(), QStringLiteral("o"));
        return QString(pasted + QStringLiteral("o"));
    };
    settle();
    finishReplacement();
    expectExpandedTo("Hi " + signature + " ok");
}
