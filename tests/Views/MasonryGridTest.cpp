#include "Views/Components/MasonryGrid.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Items of the given heights, whatever the width.
std::function<qreal(int, qreal)> heights(QList<qreal> values)
{
    return [values](int index, qreal) { return values[index]; };
}

QWidget* block(int height)
{
    auto* widget = new QWidget;
    widget->setFixedHeight(height);
    return widget;
}

} // namespace

TEST(MasonryArrangement, TwoColumnsSendEachItemUnderTheShorterColumn)
{
    const auto result = MasonryGrid::arrange(2, 8, 300, 3, heights({50, 30, 30}));

    EXPECT_DOUBLE_EQ(result.columnWidth, 146);
    ASSERT_EQ(result.frames.size(), 3);
    EXPECT_EQ(result.frames[0], QRectF(0, 0, 146, 50));
    EXPECT_EQ(result.frames[1], QRectF(154, 0, 146, 30));
    EXPECT_EQ(result.frames[2], QRectF(154, 38, 146, 30));
    EXPECT_EQ(result.size, QSizeF(300, 68));
}

TEST(MasonryArrangement, EqualColumnsTakeTheNextItemLeftmostFirst)
{
    const auto result = MasonryGrid::arrange(3, 10, 320, 4, heights({20, 20, 20, 5}));

    EXPECT_EQ(result.frames[0].x(), 0);
    EXPECT_EQ(result.frames[1].x(), 110);
    EXPECT_EQ(result.frames[2].x(), 220);
    EXPECT_EQ(result.frames[3].topLeft(), QPointF(0, 30));
}

TEST(MasonryArrangement, OneColumnStacksItemsInOrderWithSpacingOnlyBetweenThem)
{
    const auto result = MasonryGrid::arrange(1, 8, 200, 3, heights({40, 25, 60}));

    EXPECT_EQ(result.frames[0], QRectF(0, 0, 200, 40));
    EXPECT_EQ(result.frames[1], QRectF(0, 48, 200, 25));
    EXPECT_EQ(result.frames[2], QRectF(0, 81, 200, 60));
    EXPECT_EQ(result.size.height(), 40 + 25 + 60 + 8 * 2);
}

TEST(MasonryArrangement, NoItemsGiveTheWidthByZero)
{
    const auto result = MasonryGrid::arrange(2, 8, 250, 0, heights({}));

    EXPECT_TRUE(result.frames.isEmpty());
    EXPECT_EQ(result.size, QSizeF(250, 0));
}

TEST(MasonryArrangement, WithoutAnOfferedWidthTheGridIsThreeHundredWide)
{
    const auto result = MasonryGrid::arrange(1, 8, std::nullopt, 1, heights({10}));

    EXPECT_EQ(result.size.width(), 300);
    EXPECT_EQ(result.frames[0].width(), 300);
}

TEST(MasonryArrangement, ItemsAreMeasuredAtTheColumnWidth)
{
    QList<qreal> widthsAsked;
    MasonryGrid::arrange(2, 8, 300, 2, [&](int, qreal width) {
        widthsAsked.append(width);
        return 10.0;
    });

    EXPECT_EQ(widthsAsked, (QList<qreal>{146, 146}));
}

TEST(MasonryArrangement, FewerThanOneColumnIsTreatedAsOne)
{
    for (const int columns : {0, -3}) {
        const auto result = MasonryGrid::arrange(columns, 8, 300, 2, heights({10, 20}));

        EXPECT_DOUBLE_EQ(result.columnWidth, 300);
        EXPECT_EQ(result.frames[1], QRectF(0, 18, 300, 20));
        EXPECT_EQ(result.size, QSizeF(300, 38));
    }
}

TEST(MasonryGridLayout, PlacesWidgetsAsTheArrangementSays)
{
    QWidget board;
    auto* grid = new MasonryGrid(2, 8, &board);
    QWidget* first = block(50);
    QWidget* second = block(30);
    QWidget* third = block(30);
    grid->addWidget(first);
    grid->addWidget(second);
    grid->addWidget(third);
    board.resize(300, grid->heightForWidth(300));
    board.show();
    grid->activate();

    EXPECT_EQ(grid->heightForWidth(300), 68);
    EXPECT_EQ(first->geometry(), QRect(0, 0, 146, 50));
    EXPECT_EQ(second->geometry(), QRect(154, 0, 146, 30));
    EXPECT_EQ(third->geometry(), QRect(154, 38, 146, 30));
}

TEST(MasonryGridLayout, AsksForThreeHundredPixelsWhenNothingIsOffered)
{
    QWidget board;
    auto* grid = new MasonryGrid(1, 8, &board);
    grid->addWidget(block(20));
    grid->addWidget(block(20));

    EXPECT_EQ(grid->sizeHint(), QSize(300, 48));
    EXPECT_TRUE(grid->hasHeightForWidth());
}

TEST(MasonryGridLayout, HiddenWidgetsTakeNoPlace)
{
    QWidget board;
    auto* grid = new MasonryGrid(1, 8, &board);
    QWidget* hidden = block(40);
    QWidget* shown = block(20);
    grid->addWidget(hidden);
    grid->addWidget(shown);
    hidden->hide();
    board.resize(200, 100);
    board.show();
    grid->activate();

    EXPECT_EQ(grid->heightForWidth(200), 20);
    EXPECT_EQ(shown->geometry().topLeft(), QPoint(0, 0));
}

TEST(MasonryGridLayout, WrappedTextGrowsTallerInANarrowerGrid)
{
    QWidget board;
    auto* grid = new MasonryGrid(1, 8, &board);
    auto* text = new QLabel(QStringLiteral("A card whose text wraps onto more lines as its column gets narrower"));
    text->setWordWrap(true);
    grid->addWidget(text);

    EXPECT_GT(grid->heightForWidth(120), grid->heightForWidth(600));
}

TEST(MasonryGridLayout, ColumnsBelowOneAreClamped)
{
    MasonryGrid grid(0);
    EXPECT_EQ(grid.columns(), 1);
    grid.setColumns(-2);
    EXPECT_EQ(grid.columns(), 1);
}

TEST(MasonryGridLayout, ContentMarginsInsetTheItems)
{
    QWidget board;
    auto* grid = new MasonryGrid(1, 8, &board);
    grid->setContentsMargins(10, 6, 10, 4);
    QWidget* item = block(30);
    grid->addWidget(item);
    board.resize(220, grid->heightForWidth(220));
    board.show();
    grid->activate();

    EXPECT_EQ(grid->heightForWidth(220), 40);
    EXPECT_EQ(item->geometry(), QRect(10, 6, 200, 30));
}
