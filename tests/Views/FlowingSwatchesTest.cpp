#include "Views/MenuBar/forms/FlowingSwatches.h"
#include "Views/MenuBar/forms/FolderFormView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

class FlowingSwatchesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        swatches = new FlowingSwatches(FolderFormView::presetColors());
        other = new QLineEdit;
        layout->addWidget(swatches);
        layout->addWidget(other);
        window->show();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }

    QAbstractButton* swatch(const QString& name) const
    {
        for (QAbstractButton* b : swatches->swatches()) {
            if (b->accessibleName() == name)
                return b;
        }
        ADD_FAILURE() << "no swatch " << qPrintable(name);
        return nullptr;
    }

    // The accessible names of the swatches that show as selected.
    QStringList marked() const
    {
        QStringList names;
        for (const QAbstractButton* b : swatches->swatches()) {
            if (b->isChecked())
                names.append(b->accessibleName());
        }
        return names;
    }

    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center()); }

    void typeAndPressReturn(const QString& text)
    {
        QLineEdit* field = swatches->hexField();
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    std::unique_ptr<QWidget> window;
    FlowingSwatches* swatches = nullptr;
    QLineEdit* other = nullptr;
};

} // namespace

TEST_F(FlowingSwatchesTest, OffersNoColourAndTheNinePresetsWithTheirNames)
{
    QStringList names, tips;
    for (const QAbstractButton* b : swatches->swatches()) {
        names.append(b->accessibleName());
        tips.append(b->toolTip());
    }
    EXPECT_EQ(names,
        QStringList({"No folder color", "Red folder color", "Orange folder color", "Yellow folder color",
            "Green folder color", "Teal folder color", "Blue folder color", "Purple folder color", "Pink folder color",
            "Brown folder color"}));
    EXPECT_EQ(
        tips, QStringList({"None", "Red", "Orange", "Yellow", "Green", "Teal", "Blue", "Purple", "Pink", "Brown"}));
    QStringList hexes;
    for (const FlowingSwatches::Preset& preset : swatches->colors())
        hexes.append(preset.hex);
    EXPECT_EQ(hexes,
        QStringList(
            {"#EF4444", "#F97316", "#EAB308", "#22C55E", "#14B8A6", "#3B82F6", "#8B5CF6", "#EC4899", "#92400E"}));
    EXPECT_EQ(swatches->hexField()->placeholderText(), QStringLiteral("#hex"));
    EXPECT_EQ(swatches->hexField()->accessibleName(), QStringLiteral("Custom folder color hex code"));
}

TEST_F(FlowingSwatchesTest, TheNoneSwatchAndSevenPresetsFillTheFirstRowTheRestAndTheFieldTheSecond)
{
    const QList<QAbstractButton*>& all = swatches->swatches();
    const int firstRow = all.first()->geometry().center().y();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(all.at(i)->geometry().center().y(), firstRow) << i;
    const int secondRow = all.at(8)->geometry().center().y();
    EXPECT_EQ(secondRow - firstRow, 30 + 8);
    EXPECT_EQ(all.at(9)->geometry().center().y(), secondRow);
    const QWidget* pill = swatches->hexField()->parentWidget();
    EXPECT_EQ(pill->geometry().center().y(), secondRow);
    EXPECT_EQ(pill->height(), 30);
    EXPECT_EQ(all.at(1)->x() - all.at(0)->geometry().right() - 1, 8);
    EXPECT_EQ(pill->x(), all.at(9)->geometry().right() + 1 + 8);
    for (const QAbstractButton* b : all)
        EXPECT_EQ(b->size(), QSize(30, 30));
}

TEST_F(FlowingSwatchesTest, WithNoColourOnlyTheNoneSwatchIsMarked)
{
    EXPECT_EQ(swatches->selectedColor(), std::nullopt);
    EXPECT_EQ(marked(), QStringList({"No folder color"}));
}

TEST_F(FlowingSwatchesTest, TappingAPresetSelectsItAndFillsTheField)
{
    click(swatch(QStringLiteral("Red folder color")));
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#EF4444"));
    EXPECT_EQ(swatches->hexInput(), QStringLiteral("#EF4444"));
    EXPECT_EQ(marked(), QStringList({"Red folder color"}));
    click(swatch(QStringLiteral("Red folder color")));
    EXPECT_EQ(marked(), QStringList({"Red folder color"}));
}

TEST_F(FlowingSwatchesTest, ReturnTakesAHexColourInUpperCaseWithOrWithoutHashAndSpaces)
{
    typeAndPressReturn(QStringLiteral("ef4444"));
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#EF4444"));
    EXPECT_EQ(swatches->hexInput(), QStringLiteral("#EF4444"));
    EXPECT_EQ(marked(), QStringList({"Red folder color"}));

    typeAndPressReturn(QStringLiteral("  #14b8a6\t "));
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#14B8A6"));
    EXPECT_EQ(swatches->hexInput(), QStringLiteral("#14B8A6"));
    EXPECT_EQ(marked(), QStringList({"Teal folder color"}));
}

TEST_F(FlowingSwatchesTest, AThreeDigitColourIsTakenAndMarksNoSwatch)
{
    typeAndPressReturn(QStringLiteral("#abc"));
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#ABC"));
    EXPECT_EQ(swatches->hexInput(), QStringLiteral("#ABC"));
    EXPECT_TRUE(marked().isEmpty());
}

TEST_F(FlowingSwatchesTest, TextThatIsNotAHexColourChangesNothing)
{
    click(swatch(QStringLiteral("Blue folder color")));
    for (const QString& typed : {QStringLiteral("#12345"), QStringLiteral("##EF4444"), QStringLiteral("red"),
             QStringLiteral("#EF44445"), QStringLiteral("# EF4444"), QString()}) {
        typeAndPressReturn(typed);
        EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#3B82F6")) << qPrintable(typed);
        EXPECT_EQ(swatches->hexInput(), typed);
        EXPECT_EQ(marked(), QStringList({"Blue folder color"}));
    }
}

TEST_F(FlowingSwatchesTest, AColourFollowedByALineBreakIsRefused)
{
    swatches->setHexInput(QStringLiteral("#abc\n"));
    EXPECT_FALSE(swatches->commitHex());
    EXPECT_EQ(swatches->selectedColor(), std::nullopt);
}

TEST_F(FlowingSwatchesTest, LeavingTheFieldCommitsAValidColourAndKeepsAnInvalidOne)
{
    QLineEdit* field = swatches->hexField();
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("8b5cf6"));
    EXPECT_EQ(swatches->selectedColor(), std::nullopt);
    other->setFocus();
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#8B5CF6"));
    EXPECT_EQ(marked(), QStringList({"Purple folder color"}));

    field->setFocus();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("purple"));
    other->setFocus();
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#8B5CF6"));
    EXPECT_EQ(swatches->hexInput(), QStringLiteral("purple"));
}

TEST_F(FlowingSwatchesTest, TheNoneSwatchClearsACustomColourAndTheField)
{
    typeAndPressReturn(QStringLiteral("#123456"));
    click(swatch(QStringLiteral("No folder color")));
    EXPECT_EQ(swatches->selectedColor(), std::nullopt);
    EXPECT_EQ(swatches->hexInput(), QString());
    EXPECT_EQ(marked(), QStringList({"No folder color"}));
}

TEST_F(FlowingSwatchesTest, AStoredColourInOtherLetterCaseMarksNoSwatchAndShowsAsStored)
{
    swatches->setSelectedColor(QStringLiteral("#ef4444"));
    swatches->setHexInput(QStringLiteral("#ef4444"));
    EXPECT_TRUE(marked().isEmpty());
    EXPECT_EQ(swatches->hexInput(), QStringLiteral("#ef4444"));
}

TEST_F(FlowingSwatchesTest, SwatchesAreRoundTargets)
{
    QAbstractButton* red = swatch(QStringLiteral("Red folder color"));
    QTest::mouseClick(red, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(swatches->selectedColor(), std::nullopt);
    QTest::mouseClick(red, Qt::LeftButton, {}, QPoint(15, 2));
    EXPECT_EQ(swatches->selectedColor(), QStringLiteral("#EF4444"));
}
