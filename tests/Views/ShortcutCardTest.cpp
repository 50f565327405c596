#include "LibraryEditing.h"
#include "MainListFixture.h"
#include "Utilities/Theme.h"
#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderNameLine.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/list/LibraryItemDrag.h"

#include <QClipboard>
#include <QMimeData>
#include <QPointer>

using namespace MainListTesting;

namespace {

class ShortcutCardTest : public MainListTest {
protected:
    void copyOnClick(bool on)
    {
        state->updateSettings([on](AppSettings& s) { s.copyOnClick = on; });
    }

    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

    const Shortcut* stored(const QString& id) const
    {
        for (const Shortcut& s : state->userData().shortcuts) {
            if (s.id == id)
                return &s;
        }
        return nullptr;
    }

    QStringList submenuEntries(QMenu& menu, const QString& title) const
    {
        QAction* sub = entry(menu, title);
        return sub && sub->menu() ? entries(*sub->menu()) : QStringList();
    }
};

} // namespace

// ------------------------------------------------------------------ what the card shows

TEST_F(ShortcutCardTest, TheCardShowsTriggerPreviewAndAnEditButton)
{
    openView();
    ShortcutCard* card = shortcutCard(QStringLiteral("S1"));
    EXPECT_EQ(card->triggerLabel()->text(), QStringLiteral("/sig"));
    EXPECT_EQ(card->previewLabel()->text(), QStringLiteral("text of /sig"));
    EXPECT_TRUE(card->folderLine()->isHidden());
    EXPECT_EQ(card->editButton()->toolTip(), QStringLiteral("Edit shortcut"));
    EXPECT_EQ(card->editButton()->accessibleName(), QStringLiteral("Edit /sig"));
    QTest::mouseClick(card->editButton(), Qt::LeftButton);
    ASSERT_EQ(screens.size(), 1);
    EXPECT_EQ(screens.last().kind(), PopoverScreen::Kind::editShortcut);
    EXPECT_EQ(screens.last().shortcut()->id, QStringLiteral("S1"));
}

TEST_F(ShortcutCardTest, TheFolderLineAndTheMoveMenuDrawTheFoldersIconBeforeItsName)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        data.groups[0].icon = QStringLiteral("briefcase");
        data.groups[3].icon = QStringLiteral("custom:4F2A");
    }));
    openView();
    state->setSearchQuery(QStringLiteral("sigw"));
    settle();
    const FolderNameLine* line = shortcutCard(QStringLiteral("S4"))->folderLine();
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->text(), QStringLiteral("Work"));
    EXPECT_EQ(line->icon(), QStringLiteral("briefcase"));

    const auto menu = shortcutCard(QStringLiteral("S4"))->buildContextMenu();
    QMenu* folders = entry(*menu, QStringLiteral("Move to Folder"))->menu();
    EXPECT_EQ(entries(*folders), QStringList({"Root (no folder)", "-", "Work", "Clients", "Archive", "Home"}));
    EXPECT_FALSE(entry(*folders, QStringLiteral("Work"))->icon().isNull());
    EXPECT_FALSE(entry(*folders, QStringLiteral("Home"))->icon().isNull());
}

TEST_F(ShortcutCardTest, ALongExpansionIsCutToTwoLinesUnlessTheWholeTextIsAskedFor)
{
    const QString longText = QStringLiteral("one two three four five six seven eight nine ten ").repeated(8);
    ASSERT_TRUE(state->updateShortcut(QStringLiteral("S1"), std::nullopt, longText));
    openView();
    ClampedTextLabel* preview = shortcutCard(QStringLiteral("S1"))->previewLabel();
    ClampedTextLabel::Layout shown = preview->layoutFor(preview->width());
    EXPECT_EQ(shown.lines.size(), 2);
    EXPECT_TRUE(shown.truncated);
    EXPECT_TRUE(shown.lines.last().endsWith(QChar(0x2026)));
    const int cutHeight = shortcutCard(QStringLiteral("S1"))->height();

    state->updateSettings([](AppSettings& s) { s.expandText = true; });
    settle();
    preview = shortcutCard(QStringLiteral("S1"))->previewLabel();
    shown = preview->layoutFor(preview->width());
    EXPECT_GT(shown.lines.size(), 2);
    EXPECT_FALSE(shown.truncated);
    EXPECT_GT(shortcutCard(QStringLiteral("S1"))->height(), cutHeight);
}

TEST_F(ShortcutCardTest, APreviewOfAVeryLongTextShowsItsBeginningWhateverItsShape)
{
    const QString words = QStringLiteral("alpha beta gamma delta epsilon ").repeated(100);
    // Marks of no width let a line hold many characters; short lines break early.
    const QString marks
        = QStringLiteral("a") + QString(600, QChar(0x0301)) + QStringLiteral(" tail of the text").repeated(40);
    const QString lines = QStringLiteral("x\n").repeated(1500);
    const QString longWord = QStringLiteral("y").repeated(3000);
    for (const QString& text : {words, marks, lines, longWord}) {
        ASSERT_TRUE(state->updateShortcut(QStringLiteral("S1"), std::nullopt, text));
        openView();
        ClampedTextLabel* preview = shortcutCard(QStringLiteral("S1"))->previewLabel();
        const ClampedTextLabel::Layout shown = preview->layoutFor(preview->width());
        ClampedTextLabel whole(text, preview->font().pixelSize(), QFont::Weight(preview->font().weight()),
            &Theme::textSecondary, ClampedTextLabel::unlimited);
        whole.setFont(preview->font());
        whole.setLineSpacing(1);
        const ClampedTextLabel::Layout all = whole.layoutFor(preview->width());
        ASSERT_EQ(shown.lines.size(), 2);
        ASSERT_GT(all.lines.size(), 2);
        EXPECT_TRUE(shown.truncated);
        EXPECT_EQ(shown.lines.first(), all.lines.first());
        // The second line is the rest of the text on one line, cut with an ellipsis.
        QString rest = text.mid(all.lines.first().size());
        if (rest.startsWith(QLatin1Char('\n')))
            rest.remove(0, 1);
        rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
        ASSERT_TRUE(shown.lines.last().endsWith(QChar(0x2026)));
        EXPECT_TRUE(rest.trimmed().startsWith(shown.lines.last().chopped(1)));
    }
}

TEST_F(ShortcutCardTest, ALongTriggerStaysOnOneLineWithoutWideningTheCard)
{
    ASSERT_TRUE(state->updateShortcut(
        QStringLiteral("S1"), QStringLiteral("/").repeated(1) + QStringLiteral("x").repeated(120), std::nullopt));
    openView();
    ShortcutCard* card = shortcutCard(QStringLiteral("S1"));
    EXPECT_EQ(card->width(), shortcutCard(QStringLiteral("S2"))->width());
    EXPECT_EQ(card->triggerLabel()->layoutFor(card->triggerLabel()->width()).lines.size(), 1);
    EXPECT_TRUE(card->editButton()->geometry().right() < card->width());
}

// ------------------------------------------------------------------ clicks

TEST_F(ShortcutCardTest, APlainClickSelectsTheCardAloneAndCopiesNothingWhenCopyIsOff)
{
    openView();
    state->setSelectedIds({QStringLiteral("S2"), QStringLiteral("W1")});
    QTest::mouseClick(shortcutCard(QStringLiteral("S1"))->previewLabel(), Qt::LeftButton);
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
    EXPECT_TRUE(shortcutCard(QStringLiteral("S1"))->chrome().isSelected());
    EXPECT_FALSE(shortcutCard(QStringLiteral("S2"))->chrome().isSelected());
    EXPECT_EQ(clipboardText(), QString());
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(ShortcutCardTest, CtrlClickTogglesTheCardAndNeverCopies)
{
    copyOnClick(true);
    openView();
    state->setSelectedIds({QStringLiteral("S2")});
    QTest::mouseClick(shortcutCard(QStringLiteral("S1")), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(selected(), QSet<QString>({"S1", "S2"}));
    QTest::mouseClick(shortcutCard(QStringLiteral("S2")), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
    EXPECT_EQ(clipboardText(), QString());
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(ShortcutCardTest, WithCopyOnClickAClickCopiesTheExpansionAndSaysSo)
{
    copyOnClick(true);
    openView();
    QTest::mouseClick(shortcutCard(QStringLiteral("S3")), Qt::LeftButton);
    EXPECT_EQ(clipboardText(), QStringLiteral("text of /meet"));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->formats(), QStringList({"text/plain"}));
    EXPECT_EQ(toasts, QStringList({"Copied"}));
    scheduler.advance(ToastManager::standardDuration);
    EXPECT_FALSE(ToastManager::shared().isShowing());
}

TEST_F(ShortcutCardTest, ADoubleClickCopiesOnItsFirstClickThenOpensTheEditor)
{
    copyOnClick(true);
    openView();
    doubleClick(shortcutCard(QStringLiteral("S2")));
    EXPECT_EQ(selected(), QSet<QString>({"S2"}));
    EXPECT_EQ(toasts, QStringList({"Copied"}));
    ASSERT_EQ(screens.size(), 1);
    EXPECT_EQ(screens.last().shortcut()->id, QStringLiteral("S2"));
}

TEST_F(ShortcutCardTest, AReleaseOutsideTheCardIsNoClick)
{
    openView();
    ShortcutCard* card = shortcutCard(QStringLiteral("S1"));
    QTest::mousePress(card, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(card, Qt::LeftButton, Qt::NoModifier, QPoint(10, card->height() + 30));
    EXPECT_TRUE(selected().isEmpty());
}

// ------------------------------------------------------------------ drag

TEST_F(ShortcutCardTest, DraggingAnUnselectedCardSelectsAndCarriesItAlone)
{
    openView();
    state->setSelectedIds({QStringLiteral("S2"), QStringLiteral("S3")});
    const std::unique_ptr<QMimeData> data(shortcutCard(QStringLiteral("S1"))->dragData());
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
    EXPECT_EQ(data->text(), QStringLiteral("S1"));
    EXPECT_EQ(LibraryItemDrag::itemIds(data.get()), QStringList({"S1"}));
}

TEST_F(ShortcutCardTest, DraggingASelectedCardCarriesTheWholeSelectionOnePerLine)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("S3"), QStringLiteral("H1")});
    const std::unique_ptr<QMimeData> data(shortcutCard(QStringLiteral("S3"))->dragData());
    EXPECT_EQ(selected(), QSet<QString>({"S1", "S3", "H1"}));
    const QStringList lines = data->text().split(QLatin1Char('\n'));
    EXPECT_EQ(QSet<QString>(lines.cbegin(), lines.cend()), QSet<QString>({"S1", "S3", "H1"}));
    EXPECT_EQ(LibraryItemDrag::itemIds(data.get()).size(), 3);
}

// ------------------------------------------------------------------ one-item menu

TEST_F(ShortcutCardTest, TheOneItemMenuListsTheShortcutsOperations)
{
    openView();
    const auto menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    EXPECT_EQ(entries(*menu),
        QStringList({"Edit", "Copy", "Duplicate", "-", "Move to Folder", "-", "Move Up", "Move Down", "-", "Delete"}));
    EXPECT_EQ(submenuEntries(*menu, QStringLiteral("Move to Folder")),
        QStringList({"Root (no folder)", "-", "Work", "Clients", "Archive", "Home"}));
}

TEST_F(ShortcutCardTest, AnUnselectedCardOffersTheOneItemFormWhileOthersAreSelected)
{
    openView();
    state->setSelectedIds({QStringLiteral("S2"), QStringLiteral("S3")});
    const auto menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    EXPECT_EQ(entries(*menu).first(), QStringLiteral("Edit"));
    entry(*menu, QStringLiteral("Duplicate"))->trigger();
    EXPECT_EQ(state->userData().shortcuts.last().trigger, QStringLiteral("/sig(2)"));
    EXPECT_EQ(state->userData().shortcuts.size(), 6);
    EXPECT_EQ(selected(), QSet<QString>({"S2", "S3"}));
    EXPECT_EQ(toasts, QStringList({"Duplicated"}));
}

TEST_F(ShortcutCardTest, EditAndCopyFromTheMenu)
{
    copyOnClick(false);
    openView();
    const auto menu = shortcutCard(QStringLiteral("S2"))->buildContextMenu();
    entry(*menu, QStringLiteral("Copy"))->trigger();
    EXPECT_EQ(clipboardText(), QStringLiteral("text of /addr"));
    EXPECT_EQ(toasts, QStringList({"Copied"}));
    entry(*menu, QStringLiteral("Edit"))->trigger();
    ASSERT_EQ(screens.size(), 1);
    EXPECT_EQ(screens.last().shortcut()->trigger, QStringLiteral("/addr"));
}

TEST_F(ShortcutCardTest, MovingOneShortcutToAFolderAndBackToTheRoot)
{
    openView();
    auto menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    entry(*entry(*menu, QStringLiteral("Move to Folder"))->menu(), QStringLiteral("Clients"))->trigger();
    EXPECT_EQ(stored(QStringLiteral("S1"))->groupId, QStringLiteral("W2"));
    EXPECT_EQ(toasts.last(), QStringLiteral("Moved to Clients"));
    settle();
    EXPECT_EQ(cardIds(), QStringList({"W1", "H1", "S2", "S3"}));

    state->setCurrentGroupId(QStringLiteral("W2"));
    settle();
    menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    entry(*entry(*menu, QStringLiteral("Move to Folder"))->menu(), QStringLiteral("Root (no folder)"))->trigger();
    EXPECT_EQ(stored(QStringLiteral("S1"))->groupId, std::nullopt);
    EXPECT_EQ(toasts.last(), QStringLiteral("Moved to root"));
}

TEST_F(ShortcutCardTest, MoveUpAndDownReorderSiblingsQuietly)
{
    openView();
    entry(*shortcutCard(QStringLiteral("S2"))->buildContextMenu(), QStringLiteral("Move Up"))->trigger();
    settle();
    EXPECT_EQ(cardIds(), QStringList({"W1", "H1", "S2", "S1", "S3"}));
    entry(*shortcutCard(QStringLiteral("S2"))->buildContextMenu(), QStringLiteral("Move Down"))->trigger();
    settle();
    EXPECT_EQ(cardIds(), QStringList({"W1", "H1", "S1", "S2", "S3"}));
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(ShortcutCardTest, DeleteAsksFirstWhenTheSettingsSaySo)
{
    openView();
    entry(*shortcutCard(QStringLiteral("S3"))->buildContextMenu(), QStringLiteral("Delete"))->trigger();
    EXPECT_EQ(stored(QStringLiteral("S3")), nullptr);
    EXPECT_TRUE(toasts.isEmpty());

    state->updateSettings([](AppSettings& s) { s.confirmDelete = true; });
    settle();
    entry(*shortcutCard(QStringLiteral("S2"))->buildContextMenu(), QStringLiteral("Delete"))->trigger();
    ASSERT_TRUE(state->pendingConfirmation().has_value());
    EXPECT_EQ(state->pendingConfirmation()->title, QStringLiteral("Delete shortcut?"));
    EXPECT_NE(stored(QStringLiteral("S2")), nullptr);
}

TEST_F(ShortcutCardTest, WithoutFoldersTheMoveListHoldsOnlyTheRoot)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        data.groups.clear();
        data.shortcuts.remove(3, 2);
    }));
    openView();
    const auto menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    EXPECT_EQ(submenuEntries(*menu, QStringLiteral("Move to Folder")), QStringList({"Root (no folder)", "-"}));
}

// ------------------------------------------------------------------ several-item menu

TEST_F(ShortcutCardTest, OneOfSeveralSelectedOffersTheSeveralItemForm)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("S2"), QStringLiteral("S3")});
    const auto menu = shortcutCard(QStringLiteral("S2"))->buildContextMenu();
    EXPECT_EQ(entries(*menu), QStringList({"Move 3 to Folder", "Duplicate 3 Selected", "-", "Delete 3 Selected"}));
    EXPECT_EQ(submenuEntries(*menu, QStringLiteral("Move 3 to Folder")),
        QStringList({"Root (no folder)", "-", "Work", "Clients", "Archive", "Home"}));
}

TEST_F(ShortcutCardTest, MoveCountsOnlyTheSelectedShortcutsItMoves)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("S2"), QStringLiteral("H1")});
    const auto menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    EXPECT_EQ(entries(*menu), QStringList({"Move 2 to Folder", "Duplicate 3 Selected", "-", "Delete 3 Selected"}));
    entry(*entry(*menu, QStringLiteral("Move 2 to Folder"))->menu(), QStringLiteral("Work"))->trigger();
    EXPECT_EQ(stored(QStringLiteral("S1"))->groupId, QStringLiteral("W1"));
    EXPECT_EQ(stored(QStringLiteral("S2"))->groupId, QStringLiteral("W1"));
    EXPECT_EQ(state->userData().groups[3].parentGroupId, std::nullopt);
    EXPECT_EQ(toasts, QStringList({"Moved to Work"}));
    EXPECT_EQ(selected().size(), 3);
}

TEST_F(ShortcutCardTest, DuplicatingTheSelectionSaysHowManyItems)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("S2")});
    entry(*shortcutCard(QStringLiteral("S1"))->buildContextMenu(), QStringLiteral("Duplicate 2 Selected"))->trigger();
    EXPECT_EQ(state->userData().shortcuts.size(), 7);
    EXPECT_EQ(toasts, QStringList({"Duplicated 2 items"}));
}

TEST_F(ShortcutCardTest, DeletingTheSelectionRemovesEveryItemAndEmptiesIt)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("W1")});
    entry(*shortcutCard(QStringLiteral("S1"))->buildContextMenu(), QStringLiteral("Delete 2 Selected"))->trigger();
    EXPECT_EQ(stored(QStringLiteral("S1")), nullptr);
    EXPECT_EQ(stored(QStringLiteral("S5")), nullptr);
    EXPECT_EQ(state->userData().groups.size(), 1);
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(ShortcutCardTest, ACardTakenOffTheListGoesOnceTheEventInProgressIsOver)
{
    openView();
    QPointer<ShortcutCard> card = shortcutCard(QStringLiteral("S1"));
    // The card's own menu moves it out of the open folder: its handler is still running.
    entry(*entry(*card->buildContextMenu(), QStringLiteral("Move to Folder"))->menu(), QStringLiteral("Home"))
        ->trigger();
    ASSERT_FALSE(card.isNull());
    EXPECT_TRUE(card->isHidden());
    EXPECT_FALSE(view->shortcutCards().contains(card.data()));
    settle();
    EXPECT_TRUE(card.isNull());
}

TEST_F(ShortcutCardTest, FolderNamesInTheMoveListAreShownAsWritten)
{
    ASSERT_TRUE(state->updateGroup(QStringLiteral("H1"), QStringLiteral("R&D"), std::nullopt, std::nullopt));
    openView();
    const auto menu = shortcutCard(QStringLiteral("S1"))->buildContextMenu();
    QMenu* folders = entry(*menu, QStringLiteral("Move to Folder"))->menu();
    QAction* rnd = entry(*folders, QStringLiteral("R&D"));
    ASSERT_NE(rnd, nullptr);
    EXPECT_TRUE(rnd->shortcut().isEmpty());
    rnd->trigger();
    EXPECT_EQ(stored(QStringLiteral("S1"))->groupId, QStringLiteral("H1"));
    EXPECT_EQ(toasts, QStringList({"Moved to R&D"}));
}
