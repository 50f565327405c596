#include "Views/MenuBar/list/CardSelection.h"

#include <gtest/gtest.h>

using namespace CardSelection;

namespace {

// One column of cards as the list lays them out: 304 wide, 8 apart.
CardFrameKey::Value column(const QStringList& ids, qreal height = 60)
{
    CardFrameKey::Value frames;
    qreal y = 4;
    for (const QString& id : ids) {
        frames.append({id, QRectF(18, y, 304, height)});
        y += height + 8;
    }
    return frames;
}

QSet<QString> set(std::initializer_list<const char*> ids)
{
    QSet<QString> result;
    for (const char* id : ids)
        result.insert(QString::fromLatin1(id));
    return result;
}

const QStringList abc = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};

} // namespace

TEST(CardFrameKeyTest, LaterFramesReplaceEarlierOnesAndNewIdsKeepTheirOrder)
{
    CardFrameKey::Value value = CardFrameKey::defaultValue();
    EXPECT_TRUE(value.isEmpty());
    CardFrameKey::reduce(value, {{QStringLiteral("a"), QRectF(0, 0, 1, 1)}, {QStringLiteral("b"), QRectF(0, 2, 1, 1)}});
    CardFrameKey::reduce(value, {{QStringLiteral("c"), QRectF(0, 4, 1, 1)}, {QStringLiteral("a"), QRectF(5, 5, 1, 1)}});
    const CardFrameKey::Value expected = {{QStringLiteral("a"), QRectF(5, 5, 1, 1)},
        {QStringLiteral("b"), QRectF(0, 2, 1, 1)}, {QStringLiteral("c"), QRectF(0, 4, 1, 1)}};
    EXPECT_EQ(value, expected);
}

TEST(ClickSelectionTest, APlainClickSelectsTheCardAloneAndCtrlTogglesIt)
{
    EXPECT_EQ(clickSelection(set({"a", "b"}), QStringLiteral("c"), false), set({"c"}));
    EXPECT_EQ(clickSelection(set({"a", "b"}), QStringLiteral("c"), true), set({"a", "b", "c"}));
    EXPECT_EQ(clickSelection(set({"a", "b"}), QStringLiteral("a"), true), set({"b"}));
    EXPECT_EQ(clickSelection({}, QStringLiteral("a"), true), set({"a"}));
}

TEST(RubberBandTest, ABandStartsAtFivePixelsAndIsDrawnOnlyAboveFour)
{
    EXPECT_FALSE(startsBand(QPointF(10, 10), QPointF(14.9, 10)));
    EXPECT_TRUE(startsBand(QPointF(10, 10), QPointF(15, 10)));
    EXPECT_TRUE(startsBand(QPointF(10, 10), QPointF(13.6, 13.6)));

    const QRectF small = selectionRect(QPointF(10, 10), QPointF(13.6, 13.6));
    EXPECT_FALSE(isBandDrawn(small));
    EXPECT_FALSE(isBandDrawn(selectionRect(QPointF(0, 0), QPointF(4, 4))));
    EXPECT_TRUE(isBandDrawn(selectionRect(QPointF(0, 0), QPointF(4.5, 0))));
    EXPECT_TRUE(isBandDrawn(selectionRect(QPointF(0, 0), QPointF(0, 30))));
}

TEST(RubberBandTest, TheBandSpansBothPointsWhicheverWayTheDragGoes)
{
    EXPECT_EQ(selectionRect(QPointF(50, 80), QPointF(20, 10)), QRectF(20, 10, 30, 70));
    EXPECT_EQ(selectionRect(QPointF(20, 10), QPointF(50, 80)), QRectF(20, 10, 30, 70));
}

TEST(RubberBandTest, ABandSelectsWhatItTouchesEvenAsALine)
{
    const CardFrameKey::Value frames = column(abc);
    // a: 4..64, b: 72..132, c: 140..200.
    EXPECT_EQ(idsInBand(frames, QRectF(100, 50, 10, 30)), set({"a", "b"}));
    EXPECT_EQ(idsInBand(frames, QRectF(100, 66, 0, 4)), QSet<QString>());
    EXPECT_EQ(idsInBand(frames, QRectF(100, 20, 0, 150)), set({"a", "b", "c"}));
    EXPECT_EQ(idsInBand(frames, QRectF(2, 20, 10, 150)), QSet<QString>());
}

TEST(RubberBandTest, WithoutCtrlTheBandReplacesTheSelectionAndWithCtrlItAdds)
{
    const CardFrameKey::Value frames = column(abc);
    const QRectF overB = QRectF(100, 80, 10, 10);
    EXPECT_EQ(bandSelection(set({"a", "x"}), frames, overB, false), set({"b"}));
    EXPECT_EQ(bandSelection(set({"a", "x"}), frames, overB, true), set({"a", "b", "x"}));
}

TEST(ArrowKeysTest, WithNothingSelectedAnyArrowSelectsTheTopCard)
{
    const CardFrameKey::Value frames = column(abc);
    for (const NavDirection direction : {NavDirection::up, NavDirection::down, NavDirection::left, NavDirection::right})
        EXPECT_EQ(arrowTarget(frames, {}, direction), QStringLiteral("a"));
}

TEST(ArrowKeysTest, FromTheTopCardUpChangesNothingAndDownTakesTheNearestBelow)
{
    const CardFrameKey::Value frames = column(abc);
    EXPECT_EQ(arrowTarget(frames, set({"a"}), NavDirection::up), std::nullopt);
    EXPECT_EQ(arrowTarget(frames, set({"a"}), NavDirection::down), QStringLiteral("b"));
    EXPECT_EQ(arrowTarget(frames, set({"b"}), NavDirection::up), QStringLiteral("a"));
    EXPECT_EQ(arrowTarget(frames, set({"c"}), NavDirection::down), std::nullopt);
    EXPECT_EQ(arrowTarget(frames, set({"b"}), NavDirection::left), std::nullopt);
}

TEST(ArrowKeysTest, ACardOnlyFourPixelsAheadIsNotACandidate)
{
    const CardFrameKey::Value frames = {{QStringLiteral("a"), QRectF(0, 0, 100, 50)},
        {QStringLiteral("b"), QRectF(0, 4, 100, 50)}, {QStringLiteral("c"), QRectF(0, 4.5, 100, 50)}};
    EXPECT_EQ(arrowTarget(frames, set({"a"}), NavDirection::down), QStringLiteral("c"));
    const CardFrameKey::Value onlyNear = frames.first(2);
    EXPECT_EQ(arrowTarget(onlyNear, set({"a"}), NavDirection::down), std::nullopt);
}

TEST(ArrowKeysTest, DistanceAcrossTheDirectionCountsTwice)
{
    // From the centre (50, 25): "near" is 40 down and 30 across (score 100), "far" is 90
    // straight down (score 90).
    const CardFrameKey::Value frames = {{QStringLiteral("from"), QRectF(0, 0, 100, 50)},
        {QStringLiteral("near"), QRectF(30, 40, 100, 50)}, {QStringLiteral("far"), QRectF(0, 90, 100, 50)}};
    EXPECT_EQ(arrowTarget(frames, set({"from"}), NavDirection::down), QStringLiteral("far"));
    EXPECT_EQ(arrowTarget(frames, set({"from"}), NavDirection::right), QStringLiteral("near"));
}

TEST(ArrowKeysTest, OfEqualScoresTheCardVisitedFirstWins)
{
    const CardFrameKey::Value frames = {{QStringLiteral("from"), QRectF(100, 0, 100, 50)},
        {QStringLiteral("right"), QRectF(120, 60, 100, 50)}, {QStringLiteral("left"), QRectF(80, 60, 100, 50)}};
    EXPECT_EQ(arrowTarget(frames, set({"from"}), NavDirection::down), QStringLiteral("right"));
    CardFrameKey::Value swapped = frames;
    swapped.swapItemsAt(1, 2);
    EXPECT_EQ(arrowTarget(swapped, set({"from"}), NavDirection::down), QStringLiteral("left"));
}

TEST(ArrowKeysTest, ASelectionThatIsNotOnScreenFallsBackToTheTopLeftCard)
{
    const CardFrameKey::Value frames = column(abc);
    EXPECT_EQ(arrowTarget(frames, set({"elsewhere"}), NavDirection::down), QStringLiteral("a"));
    EXPECT_EQ(arrowTarget(frames, set({"elsewhere"}), NavDirection::up), QStringLiteral("a"));
    EXPECT_EQ(arrowTarget({}, set({"a"}), NavDirection::down), std::nullopt);
}

TEST(ArrowKeysTest, TheTopLeftCardTreatsTopsWithinFourPixelsAsOneRow)
{
    const CardFrameKey::Value frames = {{QStringLiteral("lowRight"), QRectF(200, 10, 100, 50)},
        {QStringLiteral("highRight"), QRectF(200, 7, 100, 50)}, {QStringLiteral("left"), QRectF(0, 10.5, 100, 50)},
        {QStringLiteral("below"), QRectF(0, 80, 100, 50)}};
    EXPECT_EQ(topLeftCard(frames), QStringLiteral("left"));
    const CardFrameKey::Value apart
        = {{QStringLiteral("right"), QRectF(200, 0, 100, 50)}, {QStringLiteral("left"), QRectF(0, 4, 100, 50)}};
    EXPECT_EQ(topLeftCard(apart), QStringLiteral("right"));
}
