#include "Utilities/Color.h"
#include "Utilities/Theme.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(ColorFromHex, ReadsSixDigitsInEitherCaseWithOrWithoutHash)
{
    const QColor expected(0x1d, 0x1d, 0x1f);
    EXPECT_EQ(colorFromHex(u"#1D1D1F"), expected);
    EXPECT_EQ(colorFromHex(u"#1d1d1f"), expected);
    EXPECT_EQ(colorFromHex(u"1d1d1f"), expected);
}

TEST(ColorFromHex, ReadsThreeDigitsAsShorthand)
{
    EXPECT_EQ(colorFromHex(u"#F80"), QColor(0xFF, 0x88, 0x00));
    EXPECT_EQ(colorFromHex(u"F80"), QColor(0xFF, 0x88, 0x00));
    EXPECT_EQ(colorFromHex(u"#F00"), QColor(Qt::red));
}

TEST(ColorFromHex, ReadsEightDigitsWithOpacity)
{
    EXPECT_EQ(colorFromHex(u"#FF000080"), QColor(0xFF, 0, 0, 0x80));
}

TEST(ColorFromHex, StripsEveryLeadingAndTrailingHash)
{
    EXPECT_EQ(colorFromHex(u"##FF0000"), QColor(Qt::red));
    EXPECT_EQ(colorFromHex(u"FF0000#"), QColor(Qt::red));
}

TEST(ColorFromHex, UnreadableTextIsOpaqueBlack)
{
    EXPECT_EQ(colorFromHex(u""), QColor(Qt::black));
    EXPECT_EQ(colorFromHex(u"#"), QColor(Qt::black));
    EXPECT_EQ(colorFromHex(u"zebra"), QColor(Qt::black));
}

TEST(ColorFromHex, OtherLengthsKeepTheLowTwentyFourBitsWithoutOverflow)
{
    EXPECT_EQ(colorFromHex(u"12FF0000"), QColor(0x12, 0xFF, 0, 0)); // eight digits: RRGGBBAA
    EXPECT_EQ(colorFromHex(u"ABFF0000"), QColor(0xAB, 0xFF, 0, 0));
    EXPECT_EQ(colorFromHex(u"1FF0000"), QColor(Qt::red));
    EXPECT_EQ(colorFromHex(u"0x00FF00"), QColor(Qt::green));
    EXPECT_EQ(colorFromHex(QString(QString(5000, u'f') + QStringLiteral("0000ff"))), QColor(Qt::blue));
    EXPECT_EQ(colorFromHex(u"  00ff00zz"), QColor(Qt::green));
}

TEST(ColorContrast, MeasuresAsTheAccessibilityGuidelinesDo)
{
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(colorFromHex(u"#777777"), colorFromHex(u"#777777")), 1.0);
    // The guidelines' own threshold example: #767676 on white is the lightest grey text that passes 4.5.
    EXPECT_NEAR(contrastRatio(colorFromHex(u"#767676"), Qt::white), 4.54, 0.01);
    QColor halfBlack(Qt::black);
    halfBlack.setAlphaF(0.5f);
    EXPECT_NEAR(composited(halfBlack, Qt::white).redF(), 0.5, 0.01);
}

TEST(Theme, EachColourFollowsTheAppearance)
{
    Theme::setAppearance(Appearance::dark);
    EXPECT_EQ(Theme::text(), QColor(Qt::white));
    EXPECT_EQ(Theme::toastBg(), QColor(0x35, 0x35, 0x36));
    Theme::setAppearance(Appearance::light);
    EXPECT_EQ(Theme::text(), QColor(0x1d, 0x1d, 0x1f));
    EXPECT_EQ(Theme::toastBg(), QColor(0x1d, 0x1d, 0x1f));
    EXPECT_EQ(Theme::toastText(), QColor(Qt::white));
    EXPECT_EQ(Theme::palette(Appearance::dark).toastText, QColor(Qt::white));
    EXPECT_NEAR(Theme::palette(Appearance::light).surfaceGlass.alphaF(), 0.52, 0.005);
    EXPECT_NEAR(Theme::palette(Appearance::dark).overlayDim.alphaF(), 0.5, 0.005);
}

TEST(Theme, AnnouncesOnlyRealChanges)
{
    Theme::setAppearance(Appearance::light);
    QSignalSpy spy(&Theme::instance(), &Theme::appearanceChanged);
    Theme::setAppearance(Appearance::light);
    EXPECT_EQ(spy.count(), 0);
    Theme::setAppearance(Appearance::dark);
    EXPECT_EQ(spy.count(), 1);
    Theme::setAppearance(Appearance::light);
}
