#include "Views/MenuBar/list/LibraryItemDrag.h"
#include "MainListFixture.h"

#include <QMimeData>
#include <gtest/gtest.h>

using namespace MainListTesting;

namespace {

UserData library()
{
    UserData data = UserData::empty();
    data.groups = {folder(QStringLiteral("A"), QStringLiteral("A")),
        folder(QStringLiteral("B"), QStringLiteral("B"), QStringLiteral("A")),
        folder(QStringLiteral("C"), QStringLiteral("C"), QStringLiteral("B")),
        folder(QStringLiteral("D"), QStringLiteral("D"))};
    data.shortcuts = {shortcut(QStringLiteral("s1"), QStringLiteral("/one")),
        shortcut(QStringLiteral("s2"), QStringLiteral("/two"), QStringLiteral("D"))};
    return data;
}

std::optional<QString> parentOf(const UserData& data, const QString& id)
{
    for (const Group& g : data.groups) {
        if (g.id == id)
            return g.parentGroupId;
    }
    return QStringLiteral("missing");
}

} // namespace

TEST(LibraryItemDragTest, ADragCarriesTheIdsOnePerLineAsPlainTextAndAsOwnType)
{
    const std::unique_ptr<QMimeData> data(LibraryItemDrag::mimeData({QStringLiteral("s1"), QStringLiteral("B")}));
    EXPECT_EQ(data->text(), QStringLiteral("s1\nB"));
    EXPECT_TRUE(LibraryItemDrag::carriesItems(data.get()));
    EXPECT_EQ(LibraryItemDrag::itemIds(data.get()), QStringList({QStringLiteral("s1"), QStringLiteral("B")}));
}

TEST(LibraryItemDragTest, TextFromAnotherProgramIsNotADragOfItems)
{
    QMimeData foreign;
    foreign.setText(QStringLiteral("s1\nB"));
    EXPECT_FALSE(LibraryItemDrag::carriesItems(&foreign));
    EXPECT_TRUE(LibraryItemDrag::itemIds(&foreign).isEmpty());
    EXPECT_FALSE(LibraryItemDrag::carriesItems(nullptr));
}

TEST(LibraryItemDragTest, EmptyLinesOfAPayloadAreSkipped)
{
    QMimeData data;
    data.setData(QString::fromLatin1(LibraryItemDrag::mimeType), "\ns1\n\nB\n");
    EXPECT_EQ(LibraryItemDrag::itemIds(&data), QStringList({QStringLiteral("s1"), QStringLiteral("B")}));
}

TEST(LibraryItemDragTest, AFolderLiesWithinEachOfItsAncestorsButNotWithinItself)
{
    const UserData groups = library();
    EXPECT_TRUE(groups.liesWithin(QStringLiteral("C"), QStringLiteral("B")));
    EXPECT_TRUE(groups.liesWithin(QStringLiteral("C"), QStringLiteral("A")));
    EXPECT_FALSE(groups.liesWithin(QStringLiteral("C"), QStringLiteral("C")));
    EXPECT_FALSE(groups.liesWithin(QStringLiteral("A"), QStringLiteral("C")));
    EXPECT_FALSE(groups.liesWithin(QStringLiteral("C"), QStringLiteral("D")));
}

TEST(LibraryItemDragTest, ParentLinksThatLoopEndTheWalk)
{
    UserData looped;
    looped.groups = {folder(QStringLiteral("X"), QStringLiteral("X"), QStringLiteral("Y")),
        folder(QStringLiteral("Y"), QStringLiteral("Y"), QStringLiteral("X"))};
    EXPECT_FALSE(looped.liesWithin(QStringLiteral("X"), QStringLiteral("Z")));
}

TEST(LibraryItemDragTest, DroppedShortcutsAndFoldersMoveIntoTheTargetAndAreCounted)
{
    UserData data = library();
    EXPECT_EQ(
        data.moveIntoFolder({QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("A")}, QStringLiteral("D")), 2);
    EXPECT_EQ(data.shortcuts[0].groupId, QStringLiteral("D"));
    EXPECT_EQ(parentOf(data, QStringLiteral("A")), QStringLiteral("D"));
}

TEST(LibraryItemDragTest, AFolderIsNeitherMovedIntoItselfNorIntoAFolderInsideIt)
{
    UserData data = library();
    EXPECT_EQ(data.moveIntoFolder({QStringLiteral("A"), QStringLiteral("s1")}, QStringLiteral("C")), 1);
    EXPECT_EQ(parentOf(data, QStringLiteral("A")), std::nullopt);
    EXPECT_EQ(data.shortcuts[0].groupId, QStringLiteral("C"));

    EXPECT_EQ(data.moveIntoFolder({QStringLiteral("D"), QStringLiteral("D")}, QStringLiteral("D")), 0);
    EXPECT_EQ(parentOf(data, QStringLiteral("D")), std::nullopt);
}

TEST(LibraryItemDragTest, ItemsAlreadyThereAndUnknownIdsMoveNothing)
{
    UserData data = library();
    const UserData before = data;
    EXPECT_EQ(data.moveIntoFolder({QStringLiteral("s2"), QStringLiteral("nothing")}, QStringLiteral("D")), 0);
    EXPECT_EQ(data.moveIntoFolder({QStringLiteral("B")}, QStringLiteral("A")), 0);
    EXPECT_EQ(data, before);
}

TEST(LibraryItemDragTest, NothingMovesIntoAFolderThatIsGone)
{
    UserData data = library();
    const UserData before = data;
    EXPECT_EQ(data.moveIntoFolder({QStringLiteral("s1")}, QStringLiteral("gone")), 0);
    EXPECT_EQ(data, before);
}
