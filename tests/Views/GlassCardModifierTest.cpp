#include "Painting.h"

#include "ManualMotionSettings.h"
#include "Utilities/Color.h"
#include "Views/Components/GlassCard.h"
#include "Views/Components/GlassCardModifier.h"

#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

const QColor lightBlue(0x00, 0x7A, 0xFF);
const QColor darkBlue(0x0A, 0x84, 0xFF);

struct ChromeCase {
    const char* name;
    Appearance appearance;
    bool hovered;
    bool selected;
    bool dropTarget;
    std::optional<QString> tint;
    QColor fill;
    QColor border;
    qreal borderWidth;
};

void PrintTo(const ChromeCase& c, std::ostream* out)
{
    *out << c.name;
}

class GlassCardChromeTable : public ::testing::TestWithParam<ChromeCase> { };

TEST_P(GlassCardChromeTable, FillAndBorderFollowTheState)
{
    const ChromeCase& c = GetParam();
    const GlassCardChrome chrome = GlassCardModifier::chrome(c.hovered, c.selected, c.dropTarget, c.tint, c.appearance);
    EXPECT_EQ(chrome.fill, c.fill);
    EXPECT_EQ(chrome.border, c.border);
    EXPECT_DOUBLE_EQ(chrome.borderWidth, c.borderWidth);
}

const Theme::Palette& light = Theme::palette(Appearance::light);
const Theme::Palette& dark = Theme::palette(Appearance::dark);
const QString terracotta = QStringLiteral("#E2725B");
const QColor terracottaColour(0xE2, 0x72, 0x5B);

INSTANTIATE_TEST_SUITE_P(States, GlassCardChromeTable,
    ::testing::Values(ChromeCase{"rest", Appearance::light, false, false, false, std::nullopt, light.surfaceGlass,
                          light.borderSubtle, 0.5},
        ChromeCase{"hovered", Appearance::light, true, false, false, std::nullopt, light.surfaceGlassHover,
            light.borderSubtle, 0.5},
        ChromeCase{"selected", Appearance::light, false, true, false, std::nullopt, light.surfaceGlassSelected,
            light.borderSelected, 1},
        ChromeCase{"hovered and selected", Appearance::dark, true, true, false, std::nullopt, dark.surfaceGlassSelected,
            dark.borderSelected, 1},
        ChromeCase{"drop target", Appearance::light, false, false, true, std::nullopt, withAlpha(lightBlue, 0.12),
            withAlpha(lightBlue, 0.8), 1.5},
        ChromeCase{"drop target in the dark", Appearance::dark, true, false, true, std::nullopt,
            withAlpha(darkBlue, 0.12), withAlpha(darkBlue, 0.8), 1.5},
        ChromeCase{"selected drop target: blue fill, selected border", Appearance::light, false, true, true,
            std::nullopt, withAlpha(lightBlue, 0.12), light.borderSelected, 1},
        ChromeCase{"tinted", Appearance::light, false, false, false, terracotta, withAlpha(terracottaColour, 0.1),
            light.borderSubtle, 0.5},
        ChromeCase{"tinted, hovered", Appearance::dark, true, false, false, terracotta,
            withAlpha(terracottaColour, 0.16), dark.borderSubtle, 0.5},
        ChromeCase{"tinted, selected", Appearance::light, true, true, false, terracotta,
            withAlpha(terracottaColour, 0.2), light.borderSelected, 1},
        ChromeCase{"tinted under a drag keeps its tint", Appearance::light, false, false, true, terracotta,
            withAlpha(terracottaColour, 0.1), withAlpha(lightBlue, 0.8), 1.5},
        ChromeCase{"a tint that is no colour gives black", Appearance::light, false, false, false,
            QStringLiteral("zebra"), withAlpha(Qt::black, 0.1), light.borderSubtle, 0.5}));

class GlassCardModifierTest : public ::testing::Test {
protected:
    ManualMotionSettings motion;
    QWidget card;
    GlassCardModifier chrome{&card};
};

TEST_F(GlassCardModifierTest, LeavingASelectedCardChangesNothingVisible)
{
    motion.setReduceMotion(true);
    chrome.setSelected(true);
    chrome.setHovered(true);
    const GlassCardChrome whileHovered = chrome.currentChrome();

    chrome.setHovered(false);

    EXPECT_EQ(chrome.currentChrome(), whileHovered);
}

TEST_F(GlassCardModifierTest, HoverBlendsInOverASixthOfASecond)
{
    const GlassCardChrome atRest = chrome.currentChrome();

    chrome.setHovered(true);

    EXPECT_TRUE(chrome.isBlending());
    EXPECT_EQ(chrome.currentChrome(), atRest);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chrome.isBlending(); }, 1000));
    EXPECT_EQ(chrome.currentChrome(), chrome.targetChrome());
    EXPECT_EQ(chrome.currentChrome().fill, Theme::surfaceGlassHover());
}

TEST_F(GlassCardModifierTest, ABlendPassesThroughColoursBetweenTheTwoStates)
{
    const qreal rest = Theme::surfaceGlass().alphaF();
    const qreal selected = Theme::surfaceGlassSelected().alphaF();

    chrome.setSelected(true);

    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const qreal alpha = chrome.currentChrome().fill.alphaF();
            return alpha > rest && alpha < selected;
        },
        1000));
}

TEST_F(GlassCardModifierTest, ReducedMotionShowsHoverAndSelectionAtOnce)
{
    motion.setReduceMotion(true);

    chrome.setHovered(true);
    EXPECT_FALSE(chrome.isBlending());
    EXPECT_EQ(chrome.currentChrome().fill, Theme::surfaceGlassHover());

    chrome.setSelected(true);
    EXPECT_FALSE(chrome.isBlending());
    EXPECT_EQ(chrome.currentChrome().border, Theme::borderSelected());
}

TEST_F(GlassCardModifierTest, DropTargetAndTintChangesShowAtOnce)
{
    chrome.setDropTarget(true);
    EXPECT_FALSE(chrome.isBlending());
    EXPECT_EQ(chrome.currentChrome().fill, withAlpha(lightBlue, 0.12));

    chrome.setTintColor(QStringLiteral("#00FF00"));
    EXPECT_FALSE(chrome.isBlending());
    EXPECT_EQ(chrome.currentChrome().fill, withAlpha(Qt::green, 0.1));
}

TEST_F(GlassCardModifierTest, AnAppearanceChangeRecoloursTheCard)
{
    AppearanceGuard dark(Appearance::dark);
    EXPECT_EQ(chrome.currentChrome().fill, Theme::palette(Appearance::dark).surfaceGlass);
}

class GlassCardPainting : public ::testing::Test {
protected:
    GlassCardPainting()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(20, 20, 20, 20);
        layout->addWidget(card);
        card->setFixedSize(200, 80);
        window.show();
        QApplication::processEvents();
    }

    QColor pixel(QPoint inCard) { return window.snapshot().pixelColor(card->mapTo(&window, inCard)); }

    ManualMotionSettings motion{true};
    Backdrop window{QSize(240, 120)};
    GlassCard* card = new GlassCard;
};

TEST_F(GlassCardPainting, PaintsTheStateFillInsideItsRoundedCorners)
{
    const QColor backdrop = Backdrop::colour();
    EXPECT_TRUE(sameColour(pixel({100, 40}), over(Theme::surfaceGlass(), backdrop)));
    EXPECT_TRUE(sameColour(pixel({0, 0}), backdrop)) << "the corner is rounded off";

    card->chrome().setTintColor(terracotta);
    card->chrome().setSelected(true);
    EXPECT_TRUE(sameColour(pixel({100, 40}), over(withAlpha(terracottaColour, 0.2), backdrop)));
}

TEST_F(GlassCardPainting, DrawsASelectedBorderOnePixelWideInsideTheEdge)
{
    card->chrome().setSelected(true);
    const QColor fill = over(Theme::surfaceGlassSelected(), Backdrop::colour());
    EXPECT_TRUE(sameColour(pixel({100, 0}), over(Theme::borderSelected(), fill)));
    EXPECT_TRUE(sameColour(pixel({100, 1}), fill));
}

TEST_F(GlassCardPainting, ThePointerOverTheCardHoversIt)
{
    QTest::mouseMove(card, QPoint(100, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->chrome().isHovered(); }, 1000));
    EXPECT_TRUE(sameColour(pixel({100, 40}), over(Theme::surfaceGlassHover(), Backdrop::colour())));

    QTest::mouseMove(&window, QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !card->chrome().isHovered(); }, 1000));
}

} // namespace
