#include "ChooserFixture.h"

#include "Models/FolderIconCatalog.h"
#include "Utilities/EmojiCatalog.h"
#include "Utilities/Notifications.h"
#include "Views/MenuBar/chooser/EmojiTabContent.h"
#include "Views/MenuBar/chooser/IconUploadContent.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QToolTip>

namespace {

const QString redHeart = QStringLiteral("\u2764\uFE0F");
const QString rocket = QStringLiteral("\U0001F680");
const QString pizza = QStringLiteral("\U0001F355");

using Tab = IconChooserSheet::Tab;

class IconChooserSheetTest : public ChooserTest {
protected:
    void clickTab(Tab tab) { QTest::mouseClick(chooser->tabButton(tab), Qt::LeftButton); }

    EmojiTabContent* emoji() { return chooser->emojiContent(); }
    IconTileGrid* emojiGrid() { return chooser->emojiContent()->grid(); }

    void clickChip(const QString& toolTip)
    {
        for (QAbstractButton* chip : emoji()->chips()) {
            if (chip->toolTip() == toolTip) {
                QTest::mouseClick(chip, Qt::LeftButton);
                return;
            }
        }
        ADD_FAILURE() << "no chip " << toolTip.toStdString();
    }

    QStringList charactersOf(const QList<EmojiEntry>& entries)
    {
        QStringList characters;
        for (const EmojiEntry& entry : entries)
            characters.append(entry.character);
        return characters;
    }
};

} // namespace

TEST_F(IconChooserSheetTest, TheCardIsCentredOverTheEditorAtItsFixedSize)
{
    open();
    EXPECT_EQ(chooser->geometry(), editor->rect());
    EXPECT_EQ(chooser->card()->geometry(), QRect(32, 96, 276, 368));
    editor->resize(600, 800);
    QApplication::processEvents();
    EXPECT_EQ(chooser->geometry(), editor->rect());
    EXPECT_EQ(chooser->card()->geometry(), QRect(162, 216, 276, 368));
}

TEST_F(IconChooserSheetTest, OpensOnTheIconsTabWithEveryBuiltInIconInOrder)
{
    open();
    EXPECT_EQ(chooser->tab(), Tab::icons);
    EXPECT_TRUE(chooser->tabButton(Tab::icons)->isChecked());
    IconTileGrid* grid = chooser->iconGrid();
    EXPECT_EQ(grid->keys(), FolderIconCatalog::orderedKeys());
    EXPECT_EQ(grid->columns(), 5);
    EXPECT_EQ(grid->tile(indexOf(grid, QStringLiteral("shopping-bag"))).toolTip, QStringLiteral("shopping-bag"));
    EXPECT_EQ(grid->tileRect(0).height(), 40);
    EXPECT_EQ(grid->tileRect(5).top(), grid->tileRect(0).bottom() + 1 + 8);
}

TEST_F(IconChooserSheetTest, ClickingAnIconPicksItsKeyAndCloses)
{
    open(QStringLiteral("star"));
    clickTile(chooser->iconGrid(), indexOf(chooser->iconGrid(), QStringLiteral("coffee")));
    EXPECT_EQ(picks, QStringList{QStringLiteral("coffee")});
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(closed());
}

TEST_F(IconChooserSheetTest, TheArrowKeysAndReturnPickAnIcon)
{
    open();
    IconTileGrid* grid = chooser->iconGrid();
    ASSERT_TRUE(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex(), 7);
    QTest::keyClick(grid, Qt::Key_End);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->currentIndex(), 40);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(picks, QStringList{FolderIconCatalog::orderedKeys().at(40)});
    EXPECT_TRUE(closed());
}

TEST_F(IconChooserSheetTest, TheKeyboardCursorStartsOnTheFolderIconAndScrollsIntoView)
{
    open(QStringLiteral("puzzle"));
    IconTileGrid* grid = chooser->iconGrid();
    auto* area = qobject_cast<QScrollArea*>(grid->parentWidget()->parentWidget());
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(grid->currentIndex(), indexOf(grid, QStringLiteral("puzzle")));
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(area->verticalScrollBar()->value(), 0);
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_GT(area->verticalScrollBar()->value(), 0);
    const QRect visible = area->viewport()->rect();
    EXPECT_TRUE(visible.contains(
        QRect(grid->mapTo(area->viewport(), grid->tileRect(45).topLeft()), grid->tileRect(45).size())));
}

TEST_F(IconChooserSheetTest, TheFolderIconIsMarkedAndWithoutOneNothingIs)
{
    open(QStringLiteral("star"));
    IconTileGrid* grid = chooser->iconGrid();
    const QColor marked = tileFill(grid, indexOf(grid, QStringLiteral("star")));
    const QColor plain = tileFill(grid, indexOf(grid, QStringLiteral("heart")));
    EXPECT_TRUE(sameColour(marked, over(Theme::surfaceGlassSelected(), Theme::bgCard())));
    EXPECT_TRUE(sameColour(plain, over(Theme::surfaceGlass(), Theme::bgCard())));
    chooser->dismiss();

    open();
    EXPECT_TRUE(sameColour(tileFill(chooser->iconGrid(), 0), plain)) << "the folder icon is not marked";
}

TEST_F(IconChooserSheetTest, EscapeClosesWithoutAPickAfterBrowsingTabs)
{
    open(QStringLiteral("star"));
    clickTab(Tab::emoji);
    clickTab(Tab::upload);
    clickTab(Tab::icons);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(closed());
}

TEST_F(IconChooserSheetTest, EscapeClosesTheChooserBeforeAShortcutOfTheWindow)
{
    int editorEscapes = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), editor.get());
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++editorEscapes; });
    open();
    clickTab(Tab::emoji);
    ASSERT_TRUE(emoji()->searchField()->hasFocus());
    QTest::keyClick(emoji()->searchField(), Qt::Key_Escape);
    EXPECT_TRUE(closed());
    EXPECT_EQ(editorEscapes, 0);
}

TEST_F(IconChooserSheetTest, AClickOnTheBackdropClosesAndOneOnTheCardDoesNot)
{
    open();
    QTest::mouseClick(chooser, Qt::LeftButton, Qt::NoModifier, chooser->card()->geometry().center());
    QTest::mouseClick(chooser, Qt::LeftButton, Qt::NoModifier, chooser->card()->geometry().topLeft() + QPoint(5, 140));
    EXPECT_FALSE(closed());
    QTest::mouseClick(chooser, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_TRUE(closed());
}

TEST_F(IconChooserSheetTest, ClosingOverlaysClosesTheChooser)
{
    open();
    NotificationCenter::instance().post(Notifications::velmoraDismissOverlays);
    EXPECT_TRUE(closed());
    EXPECT_TRUE(picks.isEmpty());
}

TEST_F(IconChooserSheetTest, TheFocusReturnsToWhereItWasWhenTheChooserCloses)
{
    auto* iconButton = new QLineEdit(editor.get());
    iconButton->show();
    iconButton->setFocus();
    open();
    EXPECT_FALSE(iconButton->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(iconButton->hasFocus());
}

TEST_F(IconChooserSheetTest, TabsSwitchByClickAndByArrowKeysAndKeepWhatWasTyped)
{
    open();
    clickTab(Tab::emoji);
    EXPECT_EQ(chooser->tab(), Tab::emoji);
    QTest::keyClicks(emoji()->searchField(), QStringLiteral("cat"));
    clickTab(Tab::upload);
    EXPECT_EQ(chooser->tab(), Tab::upload);
    clickTab(Tab::emoji);
    EXPECT_EQ(emoji()->query(), QStringLiteral("cat"));

    chooser->tabButton(Tab::emoji)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(chooser->tabButton(Tab::emoji), Qt::Key_Right);
    EXPECT_EQ(chooser->tab(), Tab::upload);
    EXPECT_TRUE(chooser->tabButton(Tab::upload)->hasFocus());
    QTest::keyClick(chooser->tabButton(Tab::upload), Qt::Key_Left);
    QTest::keyClick(chooser->tabButton(Tab::emoji), Qt::Key_Left);
    EXPECT_EQ(chooser->tab(), Tab::icons);
}

TEST_F(IconChooserSheetTest, TabGoesRoundTheCardAndNeverToTheEditorBeneath)
{
    auto* beneath = new QLineEdit(editor.get());
    beneath->show();
    open();
    clickTab(Tab::emoji);
    QSet<QWidget*> visited;
    for (int press = 0; press < 30; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(chooser->card()->isAncestorOf(QApplication::focusWidget()));
        visited.insert(QApplication::focusWidget());
    }
    EXPECT_TRUE(visited.contains(emoji()->searchField()));
    EXPECT_TRUE(visited.contains(emojiGrid()));
    EXPECT_TRUE(visited.contains(chooser->tabButton(Tab::icons)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(chooser->card()->isAncestorOf(QApplication::focusWidget()));

    // The chips are one stop, at the chosen one, as the tabs are; the arrows go along them
    // and choose.
    const QList<QAbstractButton*> chips = emoji()->chips();
    ASSERT_TRUE(visited.contains(chips.at(0)));
    for (int press = 0; press < 30 && QApplication::focusWidget() != chips.at(0); ++press)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_TRUE(chips.at(1)->hasFocus());
    EXPECT_EQ(emoji()->activeCategory(), EmojiCategoryFilter::recent());
    EXPECT_EQ(chooser->tab(), Tab::emoji) << "the tabs are a row of their own";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(chips.at(1)->hasFocus()) << "Tab comes back to the chosen chip";
}

TEST_F(IconChooserSheetTest, TheEmojiTabStartsWithAllTheCategories)
{
    open();
    clickTab(Tab::emoji);
    EXPECT_EQ(emoji()->activeCategory(), EmojiCategoryFilter::all());
    EXPECT_EQ(emojiGrid()->columns(), 6);
    EXPECT_EQ(emojiGrid()->tileRect(0).height(), 36);
    EXPECT_EQ(emojiGrid()->sectionTitles(),
        (QStringList{"Smileys", "People", "Animals", "Food", "Travel", "Objects", "Symbols", "Flags"}));
    EXPECT_EQ(emojiGrid()->count(), 904);
    EXPECT_EQ(emoji()->searchField()->placeholderText(), QStringLiteral("Search emoji…"));
    QStringList chips;
    for (QAbstractButton* chip : emoji()->chips())
        chips.append(chip->toolTip());
    EXPECT_EQ(chips,
        (QStringList{
            "All", "Recent", "Smileys", "People", "Animals", "Food", "Travel", "Objects", "Symbols", "Flags"}));
}

TEST_F(IconChooserSheetTest, SearchFindsTheRedHeartByHeartWhateverTheCase)
{
    open();
    clickTab(Tab::emoji);
    QTest::keyClicks(emoji()->searchField(), QStringLiteral("heart"));
    const QStringList lower = emojiGrid()->keys();
    EXPECT_TRUE(lower.contains(redHeart));
    EXPECT_EQ(lower, charactersOf(EmojiCatalog::search(QStringLiteral("heart"))));
    EXPECT_TRUE(emojiGrid()->sectionTitles() == QStringList{QString()});
    emoji()->setQuery(QStringLiteral("  HEART \n"));
    EXPECT_EQ(emojiGrid()->keys(), lower);
    emoji()->setQuery(QStringLiteral("zzzz"));
    EXPECT_EQ(emojiGrid()->count(), 0);
    EXPECT_TRUE(emojiGrid()->emptyText().isEmpty());
}

TEST_F(IconChooserSheetTest, AQueryOfOnlySpacesShowsTheCategories)
{
    open();
    clickTab(Tab::emoji);
    QTest::keyClicks(emoji()->searchField(), QStringLiteral("   "));
    EXPECT_EQ(emojiGrid()->count(), 904);
}

TEST_F(IconChooserSheetTest, AChipClearsTheSearchAndShowsItsCategory)
{
    open();
    clickTab(Tab::emoji);
    QTest::keyClicks(emoji()->searchField(), QStringLiteral("heart"));
    clickChip(QStringLiteral("Food"));
    EXPECT_TRUE(emoji()->query().isEmpty());
    EXPECT_EQ(emoji()->activeCategory(), EmojiCategoryFilter::category(QStringLiteral("food")));
    EXPECT_EQ(emojiGrid()->keys(), charactersOf(EmojiCatalog::data().value(QStringLiteral("food"))));
    EXPECT_EQ(emojiGrid()->tile(0).toolTip, EmojiCatalog::data().value(QStringLiteral("food")).first().keywords);
}

TEST_F(IconChooserSheetTest, WithoutRecentEmojiTheRecentChipSaysSo)
{
    open();
    clickTab(Tab::emoji);
    EXPECT_EQ(emojiGrid()->sectionTitles().first(), QStringLiteral("Smileys"));
    clickChip(QStringLiteral("Recent"));
    EXPECT_EQ(emojiGrid()->count(), 0);
    EXPECT_EQ(emojiGrid()->emptyText(), QStringLiteral("No recent emoji yet"));
}

TEST_F(IconChooserSheetTest, APickedEmojiIsRememberedAndShownFirstUnderRecentNextTime)
{
    open();
    clickTab(Tab::emoji);
    clickChip(QStringLiteral("Food"));
    clickTile(emojiGrid(), indexOf(emojiGrid(), pizza));
    EXPECT_EQ(picks, QStringList{pizza});
    EXPECT_EQ(EmojiRecents::load(), QStringList{pizza});
    EXPECT_TRUE(closed());

    open();
    clickTab(Tab::emoji);
    QTest::keyClicks(emoji()->searchField(), QStringLiteral("rocket"));
    QTest::keyClick(emoji()->searchField(), Qt::Key_Down);
    ASSERT_TRUE(emojiGrid()->hasFocus());
    for (int step = 0; step < indexOf(emojiGrid(), rocket); ++step)
        QTest::keyClick(emojiGrid(), Qt::Key_Right);
    QTest::keyClick(emojiGrid(), Qt::Key_Return);
    EXPECT_EQ(picks.last(), rocket);

    open(pizza);
    clickTab(Tab::emoji);
    EXPECT_EQ(emojiGrid()->sectionTitles().first(), QStringLiteral("Recent"));
    EXPECT_EQ(emojiGrid()->keys().mid(0, 2), (QStringList{rocket, pizza}));
    clickChip(QStringLiteral("Recent"));
    EXPECT_EQ(emojiGrid()->keys(), (QStringList{rocket, pizza}));
    EXPECT_EQ(emojiGrid()->tile(0).toolTip, rocket) << "recent emoji carry no keywords";
    clickTile(emojiGrid(), 1);
    EXPECT_EQ(EmojiRecents::load(), (QStringList{pizza, rocket})) << "picking it again moves it to the front";
}

TEST_F(IconChooserSheetTest, TheFolderEmojiIsMarkedInRecentInItsCategoryAndInSearch)
{
    EmojiRecents::remember(rocket);
    open(rocket);
    clickTab(Tab::emoji);
    const QColor clear = tileFill(emojiGrid(), 1);
    const QColor marked = tileFill(emojiGrid(), 0);
    EXPECT_TRUE(sameColour(marked, over(Theme::surfaceGlassSelected(), Theme::bgCard())));
    EXPECT_TRUE(sameColour(clear, Theme::bgCard()));
    clickChip(QStringLiteral("Travel"));
    EXPECT_TRUE(sameColour(tileFill(emojiGrid(), indexOf(emojiGrid(), rocket)), marked));
    emoji()->setQuery(QStringLiteral("rocket"));
    EXPECT_TRUE(sameColour(tileFill(emojiGrid(), indexOf(emojiGrid(), rocket)), marked));
}

TEST_F(IconChooserSheetTest, AnEmojiPastedIntoTheSearchFindsItself)
{
    open();
    clickTab(Tab::emoji);
    emoji()->setQuery(pizza);
    EXPECT_EQ(emojiGrid()->keys(), QStringList{pizza});
}

TEST_F(IconChooserSheetTest, TilesShowTheirTooltips)
{
    open();
    IconTileGrid* grid = chooser->iconGrid();
    const int bag = indexOf(grid, QStringLiteral("shopping-bag"));
    QHelpEvent help(QEvent::ToolTip, grid->tileRect(bag).center(), grid->mapToGlobal(grid->tileRect(bag).center()));
    QApplication::sendEvent(grid, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("shopping-bag"));
    QToolTip::hideText();
}

TEST_F(IconChooserSheetTest, AScreenReaderTicksTabsAndChipsAndHearsTheIconsNames)
{
    open();
    const auto tick = [](QWidget* button) {
        QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(button)->actionInterface();
        ASSERT_NE(actions, nullptr);
        actions->doAction(QAccessibleActionInterface::toggleAction());
    };
    tick(chooser->tabButton(Tab::emoji));
    EXPECT_EQ(chooser->tab(), Tab::emoji);
    EXPECT_TRUE(emoji()->searchField()->hasFocus()) << "the keyboard went with the page it was on";
    tick(emoji()->chips().at(1));
    EXPECT_EQ(emoji()->activeCategory(), EmojiCategoryFilter::recent());
    tick(chooser->tabButton(Tab::icons));
    EXPECT_EQ(chooser->tab(), Tab::icons);

    QAccessibleInterface* icons = QAccessible::queryAccessibleInterface(chooser->iconGrid());
    const int file = indexOf(chooser->iconGrid(), QStringLiteral("file-text"));
    EXPECT_EQ(icons->child(file)->text(QAccessible::Name), QStringLiteral("File Text"));
    EXPECT_EQ(icons->child(indexOf(chooser->iconGrid(), QStringLiteral("star")))->text(QAccessible::Name),
        QStringLiteral("Star"));
}
