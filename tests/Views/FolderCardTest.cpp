#include "LibraryEditing.h"
#include "MainListFixture.h"
#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderIconView.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/list/LibraryItemDrag.h"

#include <QDragEnterEvent>
#include <QMimeData>

using namespace MainListTesting;

namespace {

class FolderCardTest : public MainListTest {
protected:
    std::optional<QString> parentOf(const QString& id) const
    {
        for (const Group& g : state->userData().groups) {
            if (g.id == id)
                return g.parentGroupId;
        }
        ADD_FAILURE() << "no folder " << id.toStdString();
        return std::nullopt;
    }

    std::optional<QString> folderOf(const QString& id) const
    {
        for (const Shortcut& s : state->userData().shortcuts) {
            if (s.id == id)
                return s.groupId;
        }
        ADD_FAILURE() << "no shortcut " << id.toStdString();
        return std::nullopt;
    }

    // Drags `data` over `card` and drops it there, as the desktop's drag machinery does.
    // Returns whether the card took the drag when it entered.
    bool drop(FolderCard* card, QMimeData* data)
    {
        const QPointF at = QRectF(card->rect()).center();
        QDragEnterEvent enter(at.toPoint(), Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(card, &enter);
        const bool accepted = enter.isAccepted();
        litDuringDrag = card->chrome().isDropTarget();
        if (accepted) {
            QDropEvent dropEvent(at, Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(card, &dropEvent);
        }
        return accepted;
    }

    bool litDuringDrag = false;
};

} // namespace

// ------------------------------------------------------------------ what the card shows

TEST_F(FolderCardTest, TheCardShowsIconNameAndDirectChildCount)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        data.groups[0].icon = QStringLiteral("briefcase");
        data.groups[0].color = QStringLiteral("#E2725B");
    }));
    openView();
    FolderCard* work = folderCard(QStringLiteral("W1"));
    EXPECT_EQ(work->nameLabel()->text(), QStringLiteral("Work"));
    // One shortcut and one folder; what lies deeper does not count.
    EXPECT_EQ(work->countLabel()->text(), QStringLiteral("2 items"));
    EXPECT_EQ(work->iconView()->icon(), QStringLiteral("briefcase"));
    EXPECT_EQ(work->iconView()->size(), QSize(28, 28));
    EXPECT_EQ(work->chrome().tintColor(), QStringLiteral("#E2725B"));
    EXPECT_EQ(folderCard(QStringLiteral("H1"))->countLabel()->text(), QStringLiteral("0 items"));
    EXPECT_EQ(folderCard(QStringLiteral("H1"))->chrome().tintColor(), std::nullopt);
    EXPECT_EQ(work->openButton()->accessibleName(), QStringLiteral("Open Work"));
    EXPECT_TRUE(work->openButton()->toolTip().isEmpty());
}

TEST_F(FolderCardTest, AFolderWithOneShortcutReadsOneItem)
{
    state->setCurrentGroupId(QStringLiteral("W1"));
    openView();
    EXPECT_EQ(folderCard(QStringLiteral("W2"))->countLabel()->text(), QStringLiteral("2 items"));
    state->setCurrentGroupId(QStringLiteral("W2"));
    settle();
    EXPECT_EQ(folderCard(QStringLiteral("W3"))->countLabel()->text(), QStringLiteral("0 items"));
    ASSERT_TRUE(state->moveShortcutToGroup(QStringLiteral("S5"), QStringLiteral("W3")));
    settle();
    EXPECT_EQ(folderCard(QStringLiteral("W3"))->countLabel()->text(), QStringLiteral("1 item"));
}

// ------------------------------------------------------------------ clicks

TEST_F(FolderCardTest, AClickSelectsTheFolderAndCtrlClickTogglesIt)
{
    state->updateSettings([](AppSettings& s) { s.copyOnClick = true; });
    openView();
    state->setSelectedIds({QStringLiteral("S1")});
    QTest::mouseClick(folderCard(QStringLiteral("W1"))->countLabel(), Qt::LeftButton);
    EXPECT_EQ(selected(), QSet<QString>({"W1"}));
    QTest::mouseClick(folderCard(QStringLiteral("H1")), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(selected(), QSet<QString>({"W1", "H1"}));
    QTest::mouseClick(folderCard(QStringLiteral("W1")), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(selected(), QSet<QString>({"H1"}));
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

TEST_F(FolderCardTest, ADoubleClickSelectsThenOpensTheFolderEmptyingSearchAndSelection)
{
    state->setSearchQuery(QStringLiteral("o"));
    openView();
    FolderCard* work = folderCard(QStringLiteral("W1"));
    QSet<QString> selectedAfterFirstClick;
    QObject::connect(state.get(), &AppState::selectedIdsChanged, view.get(), [&] {
        if (!state->selectedIds().isEmpty())
            selectedAfterFirstClick = state->selectedIds();
    });
    doubleClick(work);
    EXPECT_EQ(selectedAfterFirstClick, QSet<QString>({"W1"}));
    EXPECT_EQ(state->currentGroupId(), QStringLiteral("W1"));
    EXPECT_EQ(state->searchQuery(), QString());
    EXPECT_TRUE(selected().isEmpty());
    settle();
    EXPECT_EQ(cardIds(), QStringList({"W2", "S4"}));
}

TEST_F(FolderCardTest, TheChevronOpensTheFolder)
{
    openView();
    QTest::mouseClick(folderCard(QStringLiteral("W1"))->openButton(), Qt::LeftButton);
    EXPECT_EQ(state->currentGroupId(), QStringLiteral("W1"));
}

// ------------------------------------------------------------------ menus

TEST_F(FolderCardTest, TheOneItemMenuListsTheFoldersOperations)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("S2")});
    const auto menu = folderCard(QStringLiteral("H1"))->buildContextMenu();
    EXPECT_EQ(entries(*menu),
        QStringList({"Open", "Edit", "-", "Duplicate", "Ungroup", "-", "Move Up", "Move Down", "-", "Delete"}));
    entry(*menu, QStringLiteral("Edit"))->trigger();
    ASSERT_EQ(screens.size(), 1);
    EXPECT_EQ(screens.last().kind(), PopoverScreen::Kind::editFolder);
    EXPECT_EQ(screens.last().group()->id, QStringLiteral("H1"));
    EXPECT_EQ(selected().size(), 2);
}

TEST_F(FolderCardTest, DuplicateUngroupMoveAndDeleteActOnThisFolder)
{
    openView();
    entry(*folderCard(QStringLiteral("W1"))->buildContextMenu(), QStringLiteral("Duplicate"))->trigger();
    EXPECT_EQ(state->userData().groups.last().name, QStringLiteral("Work (copy)"));
    settle();

    entry(*folderCard(QStringLiteral("W1"))->buildContextMenu(), QStringLiteral("Ungroup"))->trigger();
    EXPECT_EQ(parentOf(QStringLiteral("W2")), std::nullopt);
    EXPECT_EQ(folderOf(QStringLiteral("S4")), std::nullopt);
    settle();

    const QStringList before = cardIds();
    entry(*folderCard(QStringLiteral("H1"))->buildContextMenu(), QStringLiteral("Move Up"))->trigger();
    settle();
    EXPECT_NE(cardIds(), before);

    entry(*folderCard(QStringLiteral("W2"))->buildContextMenu(), QStringLiteral("Delete"))->trigger();
    settle();
    EXPECT_FALSE(cardIds().contains(QStringLiteral("W2")));
    // The copy of /sigw stays; /client went with its folder.
    EXPECT_EQ(state->userData().shortcuts.size(), 5);
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(FolderCardTest, OneOfSeveralSelectedOffersOpenAndDeleteSelected)
{
    openView();
    state->setSelectedIds({QStringLiteral("W1"), QStringLiteral("S1")});
    const auto menu = folderCard(QStringLiteral("W1"))->buildContextMenu();
    EXPECT_EQ(entries(*menu), QStringList({"Open", "-", "Delete 2 Selected"}));
    entry(*menu, QStringLiteral("Open"))->trigger();
    EXPECT_EQ(state->currentGroupId(), QStringLiteral("W1"));
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(FolderCardTest, DeleteSelectedAsksFirstWhenTheSettingsSaySo)
{
    state->updateSettings([](AppSettings& s) { s.confirmDelete = true; });
    openView();
    state->setSelectedIds({QStringLiteral("W1"), QStringLiteral("H1")});
    entry(*folderCard(QStringLiteral("H1"))->buildContextMenu(), QStringLiteral("Delete 2 Selected"))->trigger();
    ASSERT_TRUE(state->pendingConfirmation().has_value());
    EXPECT_EQ(state->pendingConfirmation()->title, QStringLiteral("Delete 2 items?"));
    state->confirmRequest();
    EXPECT_TRUE(state->userData().groups.isEmpty());
}

// ------------------------------------------------------------------ drag and drop

TEST_F(FolderCardTest, DroppingThreeSelectedShortcutsMovesThemAllWithOneToast)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("S2"), QStringLiteral("S3")});
    std::unique_ptr<QMimeData> data(shortcutCard(QStringLiteral("S2"))->dragData());
    EXPECT_TRUE(drop(folderCard(QStringLiteral("H1")), data.get()));
    EXPECT_TRUE(litDuringDrag);
    EXPECT_FALSE(folderCard(QStringLiteral("H1"))->chrome().isDropTarget());
    for (const char* id : {"S1", "S2", "S3"})
        EXPECT_EQ(folderOf(QString::fromLatin1(id)), QStringLiteral("H1")) << id;
    EXPECT_EQ(toasts, QStringList({"Moved to Home"}));
    // One undoable change.
    ASSERT_TRUE(state->undo());
    EXPECT_EQ(folderOf(QStringLiteral("S1")), std::nullopt);
    EXPECT_EQ(folderOf(QStringLiteral("S3")), std::nullopt);
}

TEST_F(FolderCardTest, ASelectionHoldingTheTargetMovesTheRestAndLeavesTheTarget)
{
    openView();
    state->setSelectedIds({QStringLiteral("H1"), QStringLiteral("W1"), QStringLiteral("S1")});
    std::unique_ptr<QMimeData> data(folderCard(QStringLiteral("W1"))->dragData());
    EXPECT_TRUE(drop(folderCard(QStringLiteral("H1")), data.get()));
    EXPECT_EQ(parentOf(QStringLiteral("H1")), std::nullopt);
    EXPECT_EQ(parentOf(QStringLiteral("W1")), QStringLiteral("H1"));
    EXPECT_EQ(folderOf(QStringLiteral("S1")), QStringLiteral("H1"));
}

TEST_F(FolderCardTest, AFolderDroppedIntoItsOwnDescendantStaysWhileTheOthersMove)
{
    state->setCurrentGroupId(QStringLiteral("W2"));
    openView();
    const std::unique_ptr<QMimeData> data(LibraryItemDrag::mimeData({QStringLiteral("W1"), QStringLiteral("S1")}));
    EXPECT_TRUE(drop(folderCard(QStringLiteral("W3")), data.get()));
    EXPECT_EQ(parentOf(QStringLiteral("W1")), std::nullopt);
    EXPECT_EQ(folderOf(QStringLiteral("S1")), QStringLiteral("W3"));
    EXPECT_EQ(toasts, QStringList({"Moved to Archive"}));
}

TEST_F(FolderCardTest, ADropThatMovesNothingWritesNothingAndSaysNothing)
{
    state->setCurrentGroupId(QStringLiteral("W2"));
    openView();
    const UserData before = state->userData();
    int writes = 0;
    QObject::connect(state.get(), &AppState::userDataChanged, view.get(), [&] { ++writes; });
    // Both would land inside themselves.
    const std::unique_ptr<QMimeData> data(LibraryItemDrag::mimeData({QStringLiteral("W1"), QStringLiteral("W2")}));
    EXPECT_TRUE(drop(folderCard(QStringLiteral("W3")), data.get()));
    EXPECT_EQ(state->userData(), before);
    EXPECT_EQ(writes, 0);
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(FolderCardTest, ADropWritesOneUndoStepOnlyWhenSomethingMoved)
{
    openView();
    int writes = 0;
    QObject::connect(state.get(), &AppState::userDataChanged, view.get(), [&] { ++writes; });
    const std::unique_ptr<QMimeData> nothing(LibraryItemDrag::mimeData({QStringLiteral("S4"), QStringLiteral("gone")}));
    EXPECT_EQ(folderCard(QStringLiteral("W1"))->dropItems(nothing.get()), 0);
    EXPECT_EQ(writes, 0);
    const std::unique_ptr<QMimeData> one(LibraryItemDrag::mimeData({QStringLiteral("S4"), QStringLiteral("S1")}));
    EXPECT_EQ(folderCard(QStringLiteral("W1"))->dropItems(one.get()), 1);
    EXPECT_EQ(writes, 1);
}

TEST_F(FolderCardTest, TextFromAnotherProgramIsNotTakenAsADrop)
{
    openView();
    const UserData before = state->userData();
    QMimeData foreign;
    foreign.setText(QStringLiteral("S1\nS2"));
    EXPECT_FALSE(drop(folderCard(QStringLiteral("H1")), &foreign));
    EXPECT_FALSE(litDuringDrag);
    EXPECT_EQ(state->userData(), before);
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(FolderCardTest, AFolderCardCarriesTheSelectionLikeAShortcutCard)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1")});
    std::unique_ptr<QMimeData> alone(folderCard(QStringLiteral("H1"))->dragData());
    EXPECT_EQ(selected(), QSet<QString>({"H1"}));
    EXPECT_EQ(alone->text(), QStringLiteral("H1"));
}
