#include "EngineFixture.h"

#include "Utilities/Scheduler.h"

// Fields that show a paste in other characters than were pasted (a browser's or a mail
// client's editor): what arrived whole counts as an expansion once and stays; what did not
// arrive whole never counts.
class PasteShownTheFieldsWay : public EngineFixture {
protected:
    static inline const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");

    PasteShownTheFieldsWay()
    {
        desktop.pasteboard.setTracksReads(true);
        desktop.pasteboard.copyTextFromOtherApplication(QStringLiteral("mine"));
    }

    // Has the field's application make its text an element anew as it takes each paste, shown
    // as `shown`: the field's own element answers no more, and the new one has the focus with
    // its caret at the start of the text (LibreOffice's title placeholder).
    void makeElementAnewOnPaste(const QString& shown)
    {
        field->reshapesPaste = [this, shown](const QString&) {
            Scheduler::current().after(0, nullptr, [this] {
                auto anew = std::make_shared<FakeTextField>(field->text);
                anew->fieldKind = FieldKind::multiLine;
                anew->moveCaret(0);
                field->text.clear();
                field->selectionAnswer = std::optional<TextRange>();
                desktop.focus(FakeDesktop::editorProcess, anew);
            });
            return shown;
        };
    }

    // Types the trigger into a field that shows each paste as `shown`; returns what the field
    // holds once everything has settled.
    QString expandShownAs(const QString& trigger, const QString& shown)
    {
        field->reshapesPaste = [shown](const QString&) { return shown; };
        desktop.type(trigger);
        settle();
        return field->text;
    }
};

TEST_F(PasteShownTheFieldsWay, anEmojiFollowedByAZeroWidthNoBreakSpaceCounts)
{
    const QString thanks = QStringLiteral("Thanks ") + smile + QStringLiteral(" Ada");
    start({{QStringLiteral("/ty"), thanks}});
    const QString shown = QStringLiteral("Thanks ") + smile + QChar(0xFEFF) + QStringLiteral(" Ada");
    EXPECT_EQ(expandShownAs(QStringLiteral("/ty"), shown), "Hello " + shown);
    EXPECT_EQ(expansions, expected(QStringLiteral("/ty"), thanks));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}

TEST_F(PasteShownTheFieldsWay, tabsAndSpacesShownAsNoBreakSpacesCount)
{
    const QString row = QStringLiteral("Name:\tAda ");
    start({{QStringLiteral("/row"), row}});
    const QString shown = QStringLiteral("Name:") + QChar::Nbsp + QStringLiteral(" ") + QChar::Nbsp + QStringLiteral(" Ada")
        + QChar::Nbsp;
    EXPECT_EQ(expandShownAs(QStringLiteral("/row"), shown), "Hello " + shown);
    EXPECT_EQ(expansions, expected(QStringLiteral("/row"), row));
}

// Lines pasted as paragraphs of their own, each standing in an embedded object, with an emoji
// in one.
TEST_F(PasteShownTheFieldsWay, paragraphsAsObjectsWithAnEmojiInOneCount)
{
    const QString lines = QStringLiteral("Best regards,\n") + smile + QStringLiteral(" Ada");
    start({{QStringLiteral("/sig"), lines}});
    const QString shown = QStringLiteral("Best regards,") + QChar::ObjectReplacementCharacter + smile + QChar(0xFEFF)
        + QStringLiteral(" Ada");
    EXPECT_EQ(expandShownAs(QStringLiteral("/sig"), shown), "Hello " + shown);
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), lines));
}

// Lines pasted into the middle of a region's text: the lines between the first and the last
// each an element of their own, the last joined to the text behind the caret. One that lost the
// last line's end is not the paste.
TEST_F(PasteShownTheFieldsWay, aMiddleLineInAnElementOfItsOwnCountsButALostLastLineDoesNot)
{
    const QString address = QStringLiteral("Ada\n1 Main St\nSpringfield");
    start({{QStringLiteral("/adr"), address}});
    const QString shown = QStringLiteral("Ada") + QChar::ObjectReplacementCharacter + QStringLiteral("Springfield");
    EXPECT_EQ(expandShownAs(QStringLiteral("/adr"), shown), "Hello " + shown);
    EXPECT_EQ(expansions, expected(QStringLiteral("/adr"), address));

    expansions.clear();
    field->text = QStringLiteral("Hello ");
    field->moveCaret(field->text.size());
    expandShownAs(QStringLiteral("/adr"), QStringLiteral("Ada") + QChar::ObjectReplacementCharacter + QStringLiteral("Spring"));
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}

// A field that drops what it cannot show (the emoji), or shows a tab as nothing, did not take
// the paste whole: it is not counted, and the user's clipboard still comes back.
TEST_F(PasteShownTheFieldsWay, aPasteWithACharacterLostDoesNotCount)
{
    const QString thanks = QStringLiteral("Thanks ") + smile + QStringLiteral("\tAda");
    start({{QStringLiteral("/ty"), thanks}});
    for (const QString& shown : QStringList{QStringLiteral("Thanks \tAda"), QStringLiteral("Thanks ") + smile + QStringLiteral("Ada"),
             QStringLiteral("Thanks ") + QChar(0xFEFF) + QStringLiteral("\tAda")}) {
        field->text = QStringLiteral("Hello ");
        field->moveCaret(field->text.size());
        expandShownAs(QStringLiteral("/ty"), shown);
        EXPECT_TRUE(expansions.isEmpty()) << shown.toStdString();
        EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
    }
}

// The keys typed on behind the trigger go behind the expansion there, not where the application
// left the caret.
TEST_F(PasteShownTheFieldsWay, aPasteWholeInAnElementMadeAnewCountsWithTheKeysTypedOnBehindIt)
{
    makeElementAnewOnPaste(signature);
    desktop.type(QStringLiteral("/sig ok"));
    settle();
    EXPECT_EQ(desktop.focusedField()->text, "Hello " + signature + " ok");
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}

TEST_F(PasteShownTheFieldsWay, aPasteCutShortInAnElementMadeAnewDoesNotCountNorMoveTheCaret)
{
    makeElementAnewOnPaste(QStringLiteral("Best regards,\nA"));
    desktop.type(QStringLiteral("/sig ok"));
    settle();
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.focusedField()->text, QStringLiteral(" okHello Best regards,\nA"));
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("mine"));
}
