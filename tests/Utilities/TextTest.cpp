#include "Utilities/Text.h"
#include "Utilities/Uuid.h"

#include <gtest/gtest.h>

TEST(Text, CanonicallyEquivalentStringsAreEqualAndHashAlike)
{
    const QString composed = QStringLiteral("caf\u00e9");
    const QString decomposed = QStringLiteral("cafe\u0301");
    EXPECT_NE(composed, decomposed);
    EXPECT_TRUE(Text::equal(composed, decomposed));
    EXPECT_EQ(Text::hash(composed), Text::hash(decomposed));
    EXPECT_EQ(Text::canonical(decomposed), composed);
    EXPECT_FALSE(Text::equal(QStringLiteral("/sig"), QStringLiteral("/Sig")));
}

TEST(Text, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(Text::graphemeCount(u""), 0);
    EXPECT_EQ(Text::graphemeCount(u"abc"), 3);
    EXPECT_EQ(Text::graphemeCount(QStringLiteral("cafe\u0301")), 4);
    // A family emoji joined with zero-width joiners and a flag are one character each.
    EXPECT_EQ(Text::graphemeCount(QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467")), 1);
    EXPECT_EQ(Text::graphemeCount(QStringLiteral("\U0001F1E8\U0001F1F1x")), 2);
    EXPECT_EQ(Text::graphemes(QStringLiteral("a\U0001F1E8\U0001F1F1")),
        QStringList({QStringLiteral("a"), QStringLiteral("\U0001F1E8\U0001F1F1")}));
}

TEST(Text, TrimsWhiteSpaceAndLineBreaks)
{
    EXPECT_EQ(Text::trimmed(QStringLiteral(" \t/sig\r\n\u2028")), QStringLiteral("/sig"));
    EXPECT_EQ(Text::trimmed(QStringLiteral("a b")), QStringLiteral("a b"));
}

TEST(Text, TrimsWhiteSpaceOnlyAndKeepsLineBreaksAtTheEnds)
{
    // Tab, no-break space and ideographic space are white space; line feed, the line
    // separator and NEL are line breaks.
    EXPECT_EQ(Text::trimmedOfSpaces(QStringLiteral("\t\u00A0 Regards\n \u3000")), QStringLiteral("Regards\n"));
    EXPECT_EQ(Text::trimmedOfSpaces(QStringLiteral("\u2028x\u0085")), QStringLiteral("\u2028x\u0085"));
    EXPECT_EQ(Text::trimmedOfSpaces(QStringLiteral(" \t ")), QString());
}

TEST(Uuid, GeneratesUpperCaseHyphenatedText)
{
    const QString id = Uuid::generate();
    EXPECT_EQ(id.size(), 36);
    EXPECT_EQ(id, id.toUpper());
    EXPECT_TRUE(Uuid::parse(id).has_value());
    EXPECT_NE(id, Uuid::generate());
}

TEST(Uuid, ParsesOnlyTheStrictForm)
{
    EXPECT_TRUE(Uuid::parse(QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca427")));
    EXPECT_FALSE(Uuid::parse(QStringLiteral("{1b4e28ba-2fa1-11d2-883f-0016d3cca427}")));
    EXPECT_FALSE(Uuid::parse(QStringLiteral("1b4e28ba2fa111d2883f0016d3cca427")));
    EXPECT_FALSE(Uuid::parse(QStringLiteral(" 1b4e28ba-2fa1-11d2-883f-0016d3cca427")));
    EXPECT_FALSE(Uuid::parse(QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca42g")));
    EXPECT_FALSE(Uuid::parse(QString()));
}
