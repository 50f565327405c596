#include "Engine/ShownPaste.h"

#include <gtest/gtest.h>

namespace {
const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
const QChar feff(0xFEFF);
const QChar nbsp = QChar::Nbsp;
const QChar object = QChar::ObjectReplacementCharacter;

bool shownWhole(const QString& pasted, const QString& shown)
{
    return ShownPaste(pasted).isShownIn(shown, true);
}
} // namespace

// The renderings fields were seen to give a paste that arrived whole.
TEST(ShownPaste, aFieldsOwnRenderingOfThePastedTextIsThePaste)
{
    const QString pasted = QStringLiteral("Thanks ") + smile + QStringLiteral(" see\tyou ");
    EXPECT_TRUE(shownWhole(pasted, pasted));
    // Gecko: the emoji followed by U+FEFF, the tab as a run of spaces, the last space no-break.
    EXPECT_TRUE(shownWhole(pasted,
        QStringLiteral("Thanks ") + smile + feff + " see" + nbsp + " " + nbsp + " you" + nbsp));
    // A tab as one no-break space.
    EXPECT_TRUE(shownWhole(pasted, QStringLiteral("Thanks ") + smile + feff + " see" + nbsp + "you "));
    // A line per paragraph object, each emoji with its U+FEFF.
    EXPECT_TRUE(shownWhole(smile + "\n" + smile, smile + feff + object + smile + feff));
    EXPECT_TRUE(ShownPaste(QStringLiteral("Best regards,\nAnna")).isShownIn(QStringLiteral("Best regards,") + object, true));
    // Chromium, lines pasted mid-text: the middle line an element of its own.
    EXPECT_TRUE(shownWhole(QStringLiteral("Best regards,\nAnna\nHarbour Street"),
        QStringLiteral("Best regards,") + object + QStringLiteral("Harbour Street")));
    EXPECT_TRUE(ShownPaste(QStringLiteral("Anna ")).mayBeShownOtherwise());
    EXPECT_FALSE(ShownPaste(QStringLiteral("Best regards, Anna")).mayBeShownOtherwise());
}

// A paste cut short, with a character lost or changed, or with more in it, is not the paste.
TEST(ShownPaste, anythingButThePastedTextIsNotThePaste)
{
    const QString pasted = QStringLiteral("Thanks ") + smile + QStringLiteral("\tbye");
    EXPECT_FALSE(shownWhole(pasted, QStringLiteral("Thanks ") + smile));
    EXPECT_FALSE(shownWhole(pasted, QStringLiteral("Thanks ") + feff + QStringLiteral("\tbye")));
    EXPECT_FALSE(shownWhole(pasted, QStringLiteral("Thanks ") + smile + QStringLiteral("bye")));
    EXPECT_FALSE(shownWhole(pasted, QStringLiteral("Thanks ") + smile + QStringLiteral("\tbye!")));
    EXPECT_FALSE(shownWhole(pasted, QStringLiteral("Thanks") + nbsp + nbsp + smile + QStringLiteral("\tbye")));
    // A zero-width space only where the field puts one, and a no-break space only for white space.
    EXPECT_FALSE(shownWhole(QStringLiteral("ok"), QStringLiteral("o") + feff + "k"));
    EXPECT_FALSE(shownWhole(QStringLiteral("a-b"), QStringLiteral("a") + nbsp + "b"));
    // The first and the last line stand as text, whatever stands for the lines between.
    EXPECT_FALSE(shownWhole(QStringLiteral("A\nB\nC"), object + QStringLiteral("\nB\nC")));
    EXPECT_FALSE(shownWhole(QStringLiteral("A\nB\nC"), QStringLiteral("A") + object + object + QStringLiteral("D")));
    // A tab is white space, never nothing.
    EXPECT_FALSE(shownWhole(QStringLiteral("a\tb"), QStringLiteral("ab")));
}

// Read beyond the paste, the text begins with it; read just as far as it may reach, all of it
// fits in the read.
TEST(ShownPaste, thePasteIsFoundAtTheStartOfALongerReadThatReachesFarEnough)
{
    const QString pasted = smile + QStringLiteral("\t") + smile + QStringLiteral(" ok");
    const QString shown = smile + feff + nbsp + " " + nbsp + " " + nbsp + " " + nbsp + " " + smile + feff + nbsp + "ok";
    const ShownPaste paste(pasted);
    EXPECT_TRUE(paste.isShownIn(shown + QStringLiteral(" and more"), false));
    EXPECT_FALSE(paste.isShownIn(shown + QStringLiteral(" and more"), true));
    EXPECT_GE(paste.reach(), shown.size());
    EXPECT_FALSE(paste.isShownIn(shown.left(shown.size() - 1), false));
}
