#include "Painting.h"

#include "Views/Components/GlassComponents.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A 300-pixel-wide form column on a solid backdrop.
class Form : public ::testing::Test {
protected:
    Form()
        : column(new QVBoxLayout(&window))
    {
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
    }

    template <typename W> W* place(W* widget)
    {
        column->addWidget(widget);
        column->addStretch(1);
        EXPECT_TRUE(showActive(window));
        return widget;
    }

    QColor pixel(QWidget* widget, QPoint at) { return window.snapshot().pixelColor(widget->mapTo(&window, at)); }

    Backdrop window{QSize(300, 400)};
    QVBoxLayout* column;
    int actions = 0;
    std::function<void()> count = [this] { ++actions; };
};

using GlassButtons = Form;

TEST_F(GlassButtons, FillTheFormsWidthAndAreThirtySixHigh)
{
    for (GlassButton* button :
        {glassButton(QStringLiteral("Save"), false, {}), glassSecondaryButton(QStringLiteral("Cancel"), {}),
            glassDangerButton(QStringLiteral("Delete folder"), {})})
        column->addWidget(button);
    ASSERT_TRUE(showActive(window));

    for (auto* button : window.findChildren<GlassButton*>()) {
        EXPECT_EQ(button->width(), 300);
        EXPECT_EQ(button->height(), 36);
    }
}

TEST_F(GlassButtons, UseThirteenPixelTextMediumOnlyForThePrimary)
{
    GlassButton* primary = glassButton(QStringLiteral("Save"), false, {});
    GlassButton* secondary = glassSecondaryButton(QStringLiteral("Cancel"), {});
    GlassButton* danger = glassDangerButton(QStringLiteral("Delete"), {});

    EXPECT_EQ(primary->font().pixelSize(), 13);
    EXPECT_EQ(primary->font().weight(), QFont::Medium);
    EXPECT_EQ(secondary->font().pixelSize(), 13);
    EXPECT_EQ(secondary->font().weight(), QFont::Normal);
    EXPECT_EQ(danger->font().pixelSize(), 13);
    EXPECT_EQ(danger->font().weight(), QFont::Normal);
    delete primary;
    delete secondary;
    delete danger;
}

TEST_F(GlassButtons, AClickRunsTheActionOnce)
{
    GlassButton* button = place(glassButton(QStringLiteral("Save"), false, count));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(150, 18));

    EXPECT_EQ(actions, 1);
}

TEST_F(GlassButtons, ThePrimaryIsFilledWithTheTextColour)
{
    GlassButton* button = place(glassButton(QStringLiteral("Save"), false, count));

    EXPECT_TRUE(sameColour(pixel(button, {30, 18}), Theme::text()));
}

TEST_F(GlassButtons, ADisabledPrimaryLooksLikeGlassAndIgnoresClicks)
{
    GlassButton* button = place(glassButton(QStringLiteral("Save"), true, count));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(150, 18));

    EXPECT_EQ(actions, 0);
    EXPECT_TRUE(sameColour(pixel(button, {30, 18}), over(Theme::surfaceGlass(), Backdrop::colour())));
}

TEST_F(GlassButtons, APressedButtonIsDrawnAtThreeQuartersOpacityUntilReleased)
{
    GlassButton* primary = glassButton(QStringLiteral("Save"), false, count);
    column->addWidget(primary);
    GlassButton* secondary = place(glassSecondaryButton(QStringLiteral("Cancel"), count));
    const QColor backdrop = Backdrop::colour();

    QTest::mousePress(primary, Qt::LeftButton, {}, QPoint(150, 18));
    EXPECT_TRUE(sameColour(pixel(primary, {30, 18}), over(Theme::text(), backdrop, 0.75)));
    QTest::mouseRelease(primary, Qt::LeftButton, {}, QPoint(150, 18));
    EXPECT_TRUE(sameColour(pixel(primary, {30, 18}), Theme::text()));

    QTest::mousePress(secondary, Qt::LeftButton, {}, QPoint(150, 18));
    EXPECT_TRUE(sameColour(pixel(secondary, {30, 18}), over(Theme::surfaceGlass(), backdrop, 0.75)));
    QTest::mouseRelease(secondary, Qt::LeftButton, {}, QPoint(150, 18));
    EXPECT_TRUE(sameColour(pixel(secondary, {30, 18}), over(Theme::surfaceGlass(), backdrop)));
    EXPECT_EQ(actions, 2);
}

TEST_F(GlassButtons, OnlyTheCapsuleTakesClicks)
{
    GlassButton* button = place(glassSecondaryButton(QStringLiteral("Cancel"), count));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(actions, 0);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, 18));
    EXPECT_EQ(actions, 1);
}

TEST_F(GlassButtons, TheDangerButtonIsARoundedRectangleTintedWithTheDangerColour)
{
    GlassButton* button = place(glassDangerButton(QStringLiteral("Delete folder"), count));
    QColor faint = Theme::danger();
    faint.setAlphaF(0.06f);

    EXPECT_TRUE(sameColour(pixel(button, {20, 18}), over(faint, Backdrop::colour()), 1));
    EXPECT_TRUE(sameColour(pixel(button, {0, 0}), Backdrop::colour(), 1));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(actions, 0);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(2, 18));
    EXPECT_EQ(actions, 1);
}

TEST_F(GlassButtons, TabReachesAButtonAndSpacePressesIt)
{
    GlassTextInput* field = glassField(QStringLiteral("Name"), QString());
    column->addWidget(field);
    GlassButton* button = place(glassButton(QStringLiteral("Save"), false, count));
    field->lineEdit()->setFocus();

    QTest::keyClick(field->lineEdit(), Qt::Key_Tab);
    ASSERT_TRUE(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Space);

    EXPECT_EQ(actions, 1);
}

using ScreenHeaders = Form;

TEST_F(ScreenHeaders, TheBackButtonSaysWhereItGoesAndRunsTheBackAction)
{
    ScreenHeader* header = place(screenHeader(QStringLiteral("Settings"), count));
    SymbolButton* back = header->backButton();

    EXPECT_EQ(back->toolTip(), QStringLiteral("Back to shortcuts"));
    EXPECT_EQ(back->accessibleName(), QStringLiteral("Back to shortcuts"));
    EXPECT_EQ(back->symbol(), QStringLiteral("chevron.left"));
    QTest::mouseClick(back, Qt::LeftButton, {}, QPoint(14, 14));
    EXPECT_EQ(actions, 1);
}

TEST_F(ScreenHeaders, OnlyTheBackButtonsCircleTakesClicks)
{
    ScreenHeader* header = place(screenHeader(QStringLiteral("Settings"), count));

    QTest::mouseClick(header->backButton(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(actions, 0);
    QTest::mouseClick(header->backButton(), Qt::LeftButton, {}, QPoint(2, 14));
    EXPECT_EQ(actions, 1);
}

TEST_F(ScreenHeaders, LaysOutTheRowWithItsPaddingAndSpacing)
{
    ScreenHeader* header = place(screenHeader(QStringLiteral("Statistics"), {}));

    EXPECT_EQ(header->backButton()->geometry(), QRect(18, 18, 28, 28));
    EXPECT_EQ(header->titleLabel()->x(), 18 + 28 + 10);
    EXPECT_EQ(header->height(), 18 + 28 + 10);
    EXPECT_TRUE(sameColour(pixel(header->backButton(), {3, 14}), over(Theme::surfaceGlass(), Backdrop::colour())));
}

TEST_F(ScreenHeaders, TheTitleIsASeventeenPixelHeading)
{
    ScreenHeader* header = place(screenHeader(QStringLiteral("Account & sync"), {}));
    ThemedLabel* title = header->titleLabel();

    EXPECT_EQ(title->text(), QStringLiteral("Account & sync"));
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    EXPECT_EQ(title->font().pixelSize(), 17);
    EXPECT_EQ(title->font().weight(), QFont::Medium);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(title);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Heading);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Account & sync"));
}

using GlassFields = Form;

TEST_F(GlassFields, ShowTheLabelAboveTheFieldInsideThePadding)
{
    GlassTextInput* field = place(glassField(QStringLiteral("Trigger"), QStringLiteral("/sig")));

    ASSERT_NE(field->label(), nullptr);
    EXPECT_EQ(field->label()->text(), QStringLiteral("Trigger"));
    EXPECT_EQ(field->label()->font().pixelSize(), 11);
    EXPECT_EQ(field->label()->pos(), QPoint(12, 10));
    EXPECT_EQ(field->lineEdit()->x(), 12);
    EXPECT_EQ(field->lineEdit()->y(), field->label()->geometry().bottom() + 1 + 4);
    EXPECT_EQ(field->lineEdit()->font().pixelSize(), 13);
    EXPECT_EQ(field->lineEdit()->placeholderText(), QStringLiteral("/sig"));
    EXPECT_EQ(field->lineEdit()->accessibleName(), QStringLiteral("Trigger"));
}

TEST_F(GlassFields, WithoutALabelShowNoLabelRowAndAreNamedByThePlaceholder)
{
    GlassTextInput* field = place(glassField(QString(), QStringLiteral("New folder name")));

    EXPECT_EQ(field->label(), nullptr);
    EXPECT_EQ(field->lineEdit()->y(), 10);
    EXPECT_EQ(field->lineEdit()->accessibleName(), QStringLiteral("New folder name"));
}

TEST_F(GlassFields, TypedTextReachesTheCallerAndReturnSubmits)
{
    GlassTextInput* field = place(glassField(QStringLiteral("Name"), QString(), QStringLiteral("Wo")));
    QSignalSpy changes(field, &GlassTextInput::textChanged);
    QSignalSpy submits(field, &GlassTextInput::submitted);
    field->lineEdit()->setFocus();
    field->lineEdit()->end(false);

    QTest::keyClicks(field->lineEdit(), QStringLiteral("rk"));
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);

    EXPECT_EQ(field->text(), QStringLiteral("Work"));
    EXPECT_EQ(changes.last().first().toString(), QStringLiteral("Work"));
    EXPECT_EQ(submits.count(), 1);
}

TEST_F(GlassFields, FocusBrightensTheFillAndDarkensTheOutlineInTheLight)
{
    GlassTextInput* field = place(glassField(QStringLiteral("Name"), QString()));
    GlassTextInput* other = place(glassField(QStringLiteral("Other"), QString()));
    field->lineEdit()->clearFocus();
    const QPoint inside(5, field->height() / 2);
    const QPoint outline(field->width() / 2, 0);
    // The outline's pixel row lies half over the panel's fill.
    auto outlineOver = [](const QColor& fill, const QColor& outline = Theme::borderSubtle()) {
        return over(outline, over(fill, Backdrop::colour(), 0.5));
    };
    EXPECT_TRUE(sameColour(pixel(field, inside), over(Theme::surfaceGlass(), Backdrop::colour())));
    EXPECT_TRUE(sameColour(pixel(field, outline), outlineOver(Theme::surfaceGlass()), 3));

    QTest::mouseClick(field->lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(field->isFocused());
    EXPECT_TRUE(sameColour(pixel(field, inside), over(Theme::surfaceGlassHover(), Backdrop::colour())));
    EXPECT_TRUE(sameColour(pixel(field, outline), outlineOver(Theme::surfaceGlassHover(), Theme::borderSelected()), 3));

    QTest::mouseClick(other->lineEdit(), Qt::LeftButton);
    EXPECT_TRUE(sameColour(pixel(field, inside), over(Theme::surfaceGlass(), Backdrop::colour())));
}

TEST_F(GlassFields, MonospacedFieldsUseAFixedPitchFont)
{
    GlassTextInput* field = place(glassField(QStringLiteral("Trigger"), QString(), QString(), true));

    EXPECT_TRUE(QFontInfo(field->lineEdit()->font()).fixedPitch());
    EXPECT_EQ(field->lineEdit()->font().pixelSize(), 13);
}

using GlassTextAreas = Form;

TEST_F(GlassTextAreas, StayOneHundredFiftyHighWhateverTheText)
{
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines.append(QStringLiteral("line %1").arg(i));
    GlassTextArea* area = place(glassTextArea(QStringLiteral("Expansion"), QString(), lines.join(u'\n')));

    EXPECT_EQ(area->height(), 150);
    area->setText(QString());
    QApplication::processEvents();
    EXPECT_EQ(area->height(), 150);
}

TEST_F(GlassTextAreas, KeepTheLabelRowsSpaceWhenTheLabelIsEmpty)
{
    GlassTextArea* withLabel = glassTextArea(QStringLiteral("Expansion"), QString());
    column->addWidget(withLabel);
    GlassTextArea* without = place(glassTextArea(QString(), QStringLiteral("Notes")));

    EXPECT_EQ(without->editor()->y(), withLabel->editor()->y());
    EXPECT_GE(without->editor()->y(), 10 + QFontMetrics(without->label()->font()).height() + 6);
}

TEST_F(GlassTextAreas, AClickWhereThePlaceholderIsPutsTheCaretInTheEditor)
{
    GlassTextArea* area
        = place(glassTextArea(QStringLiteral("Expansion"), QStringLiteral("The text your trigger types")));

    QTest::mouseClick(area->editor()->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_TRUE(area->isFocused());
    QTest::keyClicks(area->editor(), QStringLiteral("Hi"));

    EXPECT_EQ(area->text(), QStringLiteral("Hi"));
    EXPECT_EQ(area->editor()->placeholderText(), QStringLiteral("The text your trigger types"));
}

TEST_F(GlassTextAreas, FocusBrightensTheFill)
{
    GlassTextArea* area = place(glassTextArea(QStringLiteral("Expansion"), QString()));
    area->editor()->clearFocus();
    const QPoint inside(4, 75);
    EXPECT_TRUE(sameColour(pixel(area, inside), over(Theme::surfaceGlass(), Backdrop::colour())));

    area->editor()->setFocus();

    EXPECT_TRUE(sameColour(pixel(area, inside), over(Theme::surfaceGlassHover(), Backdrop::colour())));
}

TEST_F(GlassTextAreas, ReportEveryChangeOfTheText)
{
    GlassTextArea* area = place(glassTextArea(QStringLiteral("Expansion"), QString()));
    QSignalSpy changes(area, &GlassTextArea::textChanged);
    area->editor()->setFocus();

    QTest::keyClicks(area->editor(), QStringLiteral("ab"));
    QTest::keyClick(area->editor(), Qt::Key_Backspace);

    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes.last().first().toString(), QStringLiteral("a"));
}

} // namespace
