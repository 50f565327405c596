#include "Views/MenuBar/chooser/IconTileGrid.h"

#include "Painting.h"
#include "Views/Components/ViewStyle.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QList<IconTileGrid::Tile> tiles(const QString& prefix, int count)
{
    QList<IconTileGrid::Tile> result;
    for (int i = 0; i < count; ++i)
        result.append({prefix + QString::number(i), prefix + QStringLiteral(" tile ") + QString::number(i), {}});
    return result;
}

// An emoji grid of two titled sections (7 and 3 tiles), 276 wide with 18 on each side.
struct IconTileGridTest : ::testing::Test {
    Backdrop window{QSize(276, 400)};
    IconTileGrid* grid = new IconTileGrid(IconTileGrid::Kind::emoji, &window);

    void SetUp() override
    {
        grid->setContentsMargins(18, 0, 18, 0);
        grid->setSections({{QStringLiteral("First"), tiles(QStringLiteral("a"), 7)}, {QStringLiteral("Empty"), {}},
            {QStringLiteral("Second"), tiles(QStringLiteral("b"), 3)}});
        grid->setGeometry(0, 0, 276, grid->heightForWidth(276));
        ASSERT_TRUE(showActive(window));
    }
};

} // namespace

TEST_F(IconTileGridTest, SectionsWithoutTilesAreLeftOut)
{
    EXPECT_EQ(grid->sectionTitles(), (QStringList{"First", "Second"}));
    EXPECT_EQ(grid->count(), 10);
}

TEST_F(IconTileGridTest, TilesFillTheColumnsWithEightBetweenAndTitlesAboveTheirSections)
{
    const int title = QFontMetrics(uiFont(11)).height();
    EXPECT_EQ(grid->tileRect(0), QRect(18, 4 + title + 6, 33, 36));
    EXPECT_EQ(grid->tileRect(5).right(), 276 - 18 - 1);
    EXPECT_EQ(grid->tileRect(6).top(), grid->tileRect(0).bottom() + 1 + 8);
    const int secondTitle = grid->tileRect(6).bottom() + 1 + 12 + 4;
    EXPECT_EQ(grid->tileRect(7).top(), secondTitle + title + 6);
    EXPECT_EQ(grid->heightForWidth(276), grid->tileRect(9).bottom() + 1);
    EXPECT_EQ(grid->heightForWidth(120), grid->heightForWidth(276)) << "six columns at any width";
}

TEST_F(IconTileGridTest, UpAndDownMoveToTheNearestTileOfTheNextRowAcrossSections)
{
    grid->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(grid->currentIndex(), 0);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex(), 6) << "the row below holds one tile";
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex(), 7);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex(), 7) << "nothing lies below the last row";
    QTest::keyClick(grid, Qt::Key_Up);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->currentIndex(), 0);
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(grid->currentIndex(), 0);
}

TEST_F(IconTileGridTest, SpaceActivatesTheTileUnderTheCursor)
{
    QSignalSpy activated(grid, &IconTileGrid::activated);
    grid->setFocus(Qt::TabFocusReason);
    QTest::keyClick(grid, Qt::Key_End);
    QTest::keyClick(grid, Qt::Key_Space);
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated.first().first().toString(), QStringLiteral("b2"));
}

TEST_F(IconTileGridTest, AClickActivatesOnlyWhenPressAndReleaseMeetOnOneTile)
{
    QSignalSpy activated(grid, &IconTileGrid::activated);
    QTest::mousePress(grid, Qt::LeftButton, Qt::NoModifier, grid->tileRect(1).center());
    QTest::mouseRelease(grid, Qt::LeftButton, Qt::NoModifier, grid->tileRect(2).center());
    EXPECT_TRUE(activated.isEmpty());
    QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, grid->tileRect(2).center());
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated.first().first().toString(), QStringLiteral("a2"));
    QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(activated.size(), 1) << "the margin is no tile";
}

TEST_F(IconTileGridTest, TheMenuKeyAsksForTheCursorTilesMenu)
{
    QSignalSpy asked(grid, &IconTileGrid::contextMenuRequested);
    grid->setFocus(Qt::TabFocusReason);
    QTest::keyClick(grid, Qt::Key_Right);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), grid->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(grid, &menuKey);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first().first().toString(), QStringLiteral("a1"));
    EXPECT_EQ(asked.first().at(1).toPoint(), grid->mapToGlobal(grid->tileRect(1).center()));
}

TEST_F(IconTileGridTest, ATileUnderThePointerLightsUp)
{
    const QPoint edge(grid->tileRect(3).left() + 2, grid->tileRect(3).center().y());
    const QColor before = window.snapshot().pixelColor(edge);
    EXPECT_TRUE(sameColour(before, Backdrop::colour()));
    QTest::mouseMove(grid, grid->tileRect(3).center());
    EXPECT_TRUE(sameColour(window.snapshot().pixelColor(edge), over(Theme::surfaceGlass(), Backdrop::colour())));
}

TEST_F(IconTileGridTest, WithoutTilesTheEmptyTextShowsAndTheGridTakesNoFocus)
{
    grid->setEmptyText(QStringLiteral("No recent emoji yet"));
    grid->setTiles({});
    EXPECT_EQ(grid->count(), 0);
    EXPECT_EQ(grid->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(grid->heightForWidth(276), 24 + QFontMetrics(uiFont(12)).height());
}

TEST_F(IconTileGridTest, AssistiveTechnologySeesEachTileAsAButtonItCanPress)
{
    grid->setAccessibleName(QStringLiteral("Emoji"));
    grid->setMarkedKey(QStringLiteral("a2"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Emoji"));
    ASSERT_EQ(list->childCount(), 10);
    QAccessibleInterface* tile = list->child(2);
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->role(), QAccessible::Button);
    EXPECT_EQ(tile->text(QAccessible::Name), QStringLiteral("a tile 2"));
    EXPECT_TRUE(tile->state().checked);
    EXPECT_FALSE(list->child(3)->state().checked);
    EXPECT_EQ(tile->rect(), QRect(grid->mapToGlobal(grid->tileRect(2).topLeft()), grid->tileRect(2).size()));
    EXPECT_EQ(list->indexOfChild(tile), 2);
    const QPoint centre = grid->mapToGlobal(grid->tileRect(8).center());
    EXPECT_EQ(list->childAt(centre.x(), centre.y()), list->child(8));

    QSignalSpy activated(grid, &IconTileGrid::activated);
    tile->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated.first().first().toString(), QStringLiteral("a2"));

    grid->setFocus(Qt::TabFocusReason);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(list->indexOfChild(list->focusChild()), 1);
    grid->setTiles(tiles(QStringLiteral("c"), 2));
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_FALSE(tile->isValid() && list->indexOfChild(tile) == 2) << "a tile that is gone is no child";
}
