#include <gtest/gtest.h>

#include "platform/linux/AtspiTextOffsets.h"

using namespace AtspiTextOffsets;

namespace {

// "a", U+1F600 (two UTF-16 units), "bc": 4 code points, 5 UTF-16 units.
const QString mixed = QStringLiteral("a\U0001F600bc");

TEST(AtspiTextOffsets, plainTextCannotTellTheUnitsApartAndNeedsNoConversion)
{
    EXPECT_EQ(unitOf(QStringLiteral("abc"), 3, Unit::utf16), Unit::utf16);
    EXPECT_EQ(unitOf(QStringLiteral("abc"), 3, Unit::codePoints), Unit::codePoints);
    EXPECT_EQ(toUtf16(QStringLiteral("abc"), 2, Unit::codePoints), 2);
    EXPECT_EQ(fromUtf16(QStringLiteral("abc"), 2, Unit::codePoints), 2);
}

TEST(AtspiTextOffsets, aPrefixWithAnAstralCharacterShowsWhichUnitTheApplicationCounts)
{
    // GTK returns the whole text for offset 4; Qt for offset 5.
    EXPECT_EQ(unitOf(mixed, 4, Unit::utf16), Unit::codePoints);
    EXPECT_EQ(unitOf(mixed, 5, Unit::codePoints), Unit::utf16);
}

TEST(AtspiTextOffsets, aPrefixThatFitsNeitherUnitIsRefused)
{
    // The text changed between the offset and the text request.
    EXPECT_EQ(unitOf(mixed, 7, Unit::utf16), std::nullopt);
    EXPECT_EQ(unitOf(QStringLiteral("ab"), 3, Unit::utf16), std::nullopt);
}

TEST(AtspiTextOffsets, codePointOffsetsBecomeUtf16Offsets)
{
    EXPECT_EQ(toUtf16(mixed, 0, Unit::codePoints), 0);
    EXPECT_EQ(toUtf16(mixed, 1, Unit::codePoints), 1);
    EXPECT_EQ(toUtf16(mixed, 2, Unit::codePoints), 3);
    EXPECT_EQ(toUtf16(mixed, 4, Unit::codePoints), 5);
    EXPECT_EQ(toUtf16(mixed, 5, Unit::codePoints), std::nullopt);
    EXPECT_EQ(toUtf16(mixed, -1, Unit::codePoints), std::nullopt);
}

TEST(AtspiTextOffsets, utf16OffsetsStayAsTheyAre)
{
    EXPECT_EQ(toUtf16(mixed, 3, Unit::utf16), 3);
    EXPECT_EQ(toUtf16(mixed, 5, Unit::utf16), 5);
    EXPECT_EQ(toUtf16(mixed, 6, Unit::utf16), std::nullopt);
    EXPECT_EQ(fromUtf16(mixed, 3, Unit::utf16), 3);
}

TEST(AtspiTextOffsets, utf16OffsetsBecomeCodePointOffsets)
{
    EXPECT_EQ(fromUtf16(mixed, 1, Unit::codePoints), 1);
    EXPECT_EQ(fromUtf16(mixed, 3, Unit::codePoints), 2);
    EXPECT_EQ(fromUtf16(mixed, 5, Unit::codePoints), 4);
}

TEST(AtspiTextOffsets, anOffsetInsideASurrogatePairOrBeyondTheTextIsRefused)
{
    EXPECT_EQ(fromUtf16(mixed, 2, Unit::codePoints), std::nullopt);
    EXPECT_EQ(fromUtf16(mixed, 2, Unit::utf16), std::nullopt);
    EXPECT_EQ(fromUtf16(mixed, 6, Unit::codePoints), std::nullopt);
    EXPECT_EQ(fromUtf16(mixed, -1, Unit::utf16), std::nullopt);
}

}
