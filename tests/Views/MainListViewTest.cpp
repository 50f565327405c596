#include "LibraryEditing.h"
#include "MainListFixture.h"
#include "Services/TutorialManager.h"
#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderNameLine.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/TutorialTarget.h"
#include "Views/MenuBar/list/AccessibilityBanner.h"
#include "Views/MenuBar/list/CardHeightEstimate.h"
#include "Views/MenuBar/list/CardListCanvas.h"
#include "Views/MenuBar/list/DuplicateTriggerBanner.h"
#include "Views/MenuBar/list/FolderPathBar.h"
#include "Views/MenuBar/list/LibraryItemCard.h"
#include "Views/MenuBar/list/ListEmptyState.h"
#include "Views/MenuBar/list/MainListHeader.h"
#include "Views/MenuBar/list/SearchBar.h"

#include <QAccessible>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

using namespace MainListTesting;

namespace {

// The id under which the tutorial is told where `widget` is, empty when it is not.
QString targetOf(const QWidget* widget)
{
    const auto* target = widget->findChild<TutorialTarget*>(QString(), Qt::FindDirectChildrenOnly);
    return target ? target->id() : QString();
}

QStringList texts(const QList<TextButton*>& buttons)
{
    QStringList result;
    for (const TextButton* button : buttons)
        result << button->text();
    return result;
}

class MainListViewTest : public MainListTest {
protected:
    QPoint centreOf(const QString& id) const
    {
        for (LibraryItemCard* card : view->canvas()->cards()) {
            if (card->itemId() == id)
                return card->geometry().center();
        }
        ADD_FAILURE() << "no card " << id.toStdString();
        return {};
    }

    // A drag on the list's background from `from` through `to`, in content coordinates.
    void band(QPoint from, const QList<QPoint>& through, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
        bool release = true)
    {
        CardListCanvas* canvas = view->canvas();
        QTest::mousePress(canvas, Qt::LeftButton, modifiers, from);
        for (const QPoint& point : through)
            QTest::mouseEvent(QTest::MouseMove, canvas, Qt::NoButton, modifiers, point);
        if (release)
            QTest::mouseRelease(canvas, Qt::LeftButton, modifiers, through.isEmpty() ? from : through.last());
    }

    void post(NavDirection direction)
    {
        NotificationCenter::instance().post(Notifications::velmoraMoveSelection, QVariant::fromValue(direction));
    }

    void addDuplicates()
    {
        ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
            data.shortcuts << shortcut(QStringLiteral("A1"), QStringLiteral("/a"), std::nullopt, 9)
                           << shortcut(QStringLiteral("A2"), QStringLiteral("/a"), QStringLiteral("H1"), 3)
                           << shortcut(QStringLiteral("B1"), QStringLiteral("/b"), std::nullopt, 1)
                           << shortcut(QStringLiteral("B2"), QStringLiteral("/b"), std::nullopt, 2)
                           << shortcut(QStringLiteral("B3"), QStringLiteral("/b"), QStringLiteral("W1"), 0);
        }));
    }
};

} // namespace

// ------------------------------------------------------------------ what the list shows

TEST_F(MainListViewTest, TheTopLevelShowsFoldersThenShortcutsEachInOrder)
{
    openView();
    EXPECT_EQ(cardIds(), QStringList({"W1", "H1", "S1", "S2", "S3"}));
    EXPECT_FALSE(view->navBar()->isVisible());
    EXPECT_EQ(view->emptyState(), nullptr);
    // Cards stand one under the other, 8 apart, inside the list's margins.
    const QRect first = folderCard(QStringLiteral("W1"))->geometry();
    const QRect second = folderCard(QStringLiteral("H1"))->geometry();
    EXPECT_EQ(first.left(), 18);
    EXPECT_EQ(first.top(), 4);
    EXPECT_EQ(second.top(), first.bottom() + 1 + 8);
    EXPECT_EQ(first.width(), view->canvas()->width() - 36);
}

TEST_F(MainListViewTest, TheCardsMeasuredOffScreenAreNeverToldOf)
{
    openView();
    int samples = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!qobject_cast<LibraryItemCard*>(window) || !window->testAttribute(Qt::WA_DontShowOnScreen))
            continue;
        ++samples;
        QList<QWidget*> parts = window->findChildren<QWidget*>();
        parts.prepend(window);
        for (QWidget* part : parts) {
            // Qt drops every event about an object without a valid description: its showing,
            // its name ("Edit " for a sample without a trigger) changing.
            QAccessibleEvent shown(part, QAccessible::ObjectShow);
            EXPECT_EQ(shown.accessibleInterface(), nullptr) << part->metaObject()->className();
        }
    }
    EXPECT_GE(samples, 2) << "a folder and a shortcut measured";
}

TEST_F(MainListViewTest, ItemsWithEqualOrderKeepTheLibrarysOrder)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        data.shortcuts = {shortcut(QStringLiteral("Z"), QStringLiteral("/z"), std::nullopt, 1),
            shortcut(QStringLiteral("Y"), QStringLiteral("/y"), std::nullopt, 0),
            shortcut(QStringLiteral("X"), QStringLiteral("/x"), std::nullopt, 1)};
    }));
    openView();
    EXPECT_EQ(cardIds(), QStringList({"W1", "H1", "Y", "Z", "X"}));
}

TEST_F(MainListViewTest, TheFirstShortcutCardIsTheTutorialsTarget)
{
    openView();
    EXPECT_EQ(targetOf(shortcutCard(QStringLiteral("S1"))), QStringLiteral("firstCard"));
    EXPECT_EQ(targetOf(shortcutCard(QStringLiteral("S2"))), QString());
    EXPECT_EQ(targetOf(folderCard(QStringLiteral("W1"))), QString());
    EXPECT_EQ(targetOf(view->header()->wordmark()), QStringLiteral("headerLogo"));
    EXPECT_EQ(targetOf(view->header()->addButton()), QStringLiteral("addButton"));
    scheduler.runDue();
    const ShortcutCard* first = shortcutCard(QStringLiteral("S1"));
    EXPECT_EQ(TutorialManager::shared().targetFrames().value(QStringLiteral("firstCard")),
        QRect(first->mapToGlobal(QPoint(0, 0)), first->size()));
}

TEST_F(MainListViewTest, TheListFollowsLibraryChangesAtOnce)
{
    openView();
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/new"), QStringLiteral("fresh"), std::nullopt));
    settle();
    EXPECT_EQ(view->shortcutCards().size(), 4);
    EXPECT_EQ(view->shortcutCards().last()->shortcut().trigger, QStringLiteral("/new"));
    EXPECT_TRUE(view->shortcutCards().last()->isVisible());
}

// ------------------------------------------------------------------ search

TEST_F(MainListViewTest, TypingASearchFindsMatchesInEveryFolderWithTheirFolderLine)
{
    state->setCurrentGroupId(QStringLiteral("H1"));
    openView();
    EXPECT_TRUE(view->navBar()->isVisible());
    QTest::keyClicks(view->searchBar()->field(), QStringLiteral("SIG"));
    settle();
    EXPECT_EQ(state->searchQuery(), QStringLiteral("SIG"));
    EXPECT_EQ(cardIds(), QStringList({"S1", "S4"}));
    EXPECT_FALSE(view->navBar()->isVisible());
    EXPECT_TRUE(view->searchBar()->clearButton()->isVisible());
    EXPECT_TRUE(shortcutCard(QStringLiteral("S1"))->folderLine()->isHidden());
    EXPECT_FALSE(shortcutCard(QStringLiteral("S4"))->folderLine()->isHidden());
    EXPECT_EQ(shortcutCard(QStringLiteral("S4"))->folderLine()->text(), QStringLiteral("Work"));

    // Leaving the search takes the folder lines away again.
    QTest::mouseClick(view->searchBar()->clearButton(), Qt::LeftButton);
    settle();
    state->setCurrentGroupId(QStringLiteral("W1"));
    settle();
    EXPECT_TRUE(shortcutCard(QStringLiteral("S4"))->folderLine()->isHidden());
}

TEST_F(MainListViewTest, CardsKeptWhileTypingOnStillFollowLibraryChanges)
{
    openView();
    QTest::keyClicks(view->searchBar()->field(), QStringLiteral("SI"));
    settle();
    QTest::keyClicks(view->searchBar()->field(), QStringLiteral("G"));
    settle();
    ASSERT_NE(shortcutCard(QStringLiteral("S4")), nullptr);
    EXPECT_EQ(shortcutCard(QStringLiteral("S4"))->folderLine()->text(), QStringLiteral("Work"));
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        for (Group& group : data.groups) {
            if (group.id == QStringLiteral("W1"))
                group.name = QStringLiteral("Clients");
        }
        for (Shortcut& shortcut : data.shortcuts) {
            if (shortcut.id == QStringLiteral("S4"))
                shortcut.expansion = QStringLiteral("Signed while searching");
        }
    }));
    settle();
    ASSERT_NE(shortcutCard(QStringLiteral("S4")), nullptr);
    EXPECT_EQ(shortcutCard(QStringLiteral("S4"))->folderLine()->text(), QStringLiteral("Clients"));
    EXPECT_EQ(shortcutCard(QStringLiteral("S4"))->previewLabel()->text(), QStringLiteral("Signed while searching"));
}

TEST_F(MainListViewTest, FoldersWhoseNameMatchesAreFoundAtAnyDepth)
{
    openView();
    view->searchBar()->field()->setFocus();
    QTest::keyClicks(view->searchBar()->field(), QStringLiteral("ARCH"));
    settle();
    EXPECT_EQ(cardIds(), QStringList({"W3"}));
}

TEST_F(MainListViewTest, ClearingTheSearchBringsThePathBarBack)
{
    state->setCurrentGroupId(QStringLiteral("W1"));
    state->setSearchQuery(QStringLiteral("a"));
    openView();
    EXPECT_FALSE(view->navBar()->isVisible());
    QTest::mouseClick(view->searchBar()->clearButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->searchQuery(), QString());
    EXPECT_FALSE(view->searchBar()->clearButton()->isVisible());
    EXPECT_TRUE(view->navBar()->isVisible());
    EXPECT_EQ(cardIds(), QStringList({"W2", "S4"}));
}

TEST_F(MainListViewTest, DeletingTheLastCharacterHidesTheClearButton)
{
    openView();
    QLineEdit* field = view->searchBar()->field();
    QTest::keyClick(field, Qt::Key_X);
    EXPECT_TRUE(view->searchBar()->clearButton()->isVisible());
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(view->searchBar()->clearButton()->isVisible());
    EXPECT_EQ(state->searchQuery(), QString());
}

TEST_F(MainListViewTest, TheSearchFieldNamesItself)
{
    openView();
    EXPECT_EQ(view->searchBar()->field()->placeholderText(), QStringLiteral("Search shortcuts…"));
    EXPECT_EQ(view->searchBar()->field()->accessibleName(), QStringLiteral("Search shortcuts and folders"));
}

TEST_F(MainListViewTest, FocusSearchReturnsToTheTopLevelKeepsTheTextAndFocusesTheField)
{
    state->setCurrentGroupId(QStringLiteral("W2"));
    state->setSearchQuery(QStringLiteral("cli"));
    openView();
    QApplication::setActiveWindow(view.get());
    NotificationCenter::instance().post(Notifications::velmoraFocusSearch);
    EXPECT_EQ(state->currentGroupId(), std::nullopt);
    EXPECT_EQ(state->searchQuery(), QStringLiteral("cli"));
    EXPECT_TRUE(state->stats().firstUseFlags.contains(QStringLiteral("discovery_search")));
    EXPECT_FALSE(view->searchBar()->field()->hasFocus());
    scheduler.runDue();
    EXPECT_TRUE(view->searchBar()->field()->hasFocus());
}

// ------------------------------------------------------------------ empty states

TEST_F(MainListViewTest, ASearchWithoutResultsOffersToClearIt)
{
    // Blanks count as a search: no text holds two in a row.
    state->setSearchQuery(QStringLiteral("  "));
    openView();
    ListEmptyState* empty = view->emptyState();
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->message()->text(), QStringLiteral("No matches"));
    ASSERT_NE(empty->clearButton(), nullptr);
    EXPECT_EQ(empty->clearButton()->text(), QStringLiteral("Clear search"));
    QTest::mouseClick(empty->clearButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->searchQuery(), QString());
    EXPECT_EQ(view->emptyState(), nullptr);
    EXPECT_EQ(view->canvas()->cards().size(), 5);
}

TEST_F(MainListViewTest, AnEmptyFolderInvitesToAddAShortcut)
{
    state->setCurrentGroupId(QStringLiteral("H1"));
    openView();
    ListEmptyState* empty = view->emptyState();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->message()->text(), QStringLiteral("Your words, a shortcut away."));
    ASSERT_NE(empty->addButton(), nullptr);
    EXPECT_EQ(empty->addButton()->text(), QStringLiteral("Add shortcut"));
    EXPECT_EQ(empty->addButton()->width(), 160);
    QTest::mouseClick(empty->addButton(), Qt::LeftButton);
    ASSERT_EQ(screens.size(), 1);
    EXPECT_EQ(screens.last().kind(), PopoverScreen::Kind::newShortcut);
}

// ------------------------------------------------------------------ path bar

TEST_F(MainListViewTest, ThePathSeparatesEveryFolderButTheOpenOne)
{
    state->setCurrentGroupId(QStringLiteral("W3"));
    openView();
    EXPECT_EQ(texts(view->navBar()->crumbs()), QStringList({"Work", "Clients", "Archive"}));
    ASSERT_EQ(view->navBar()->separators().size(), 2);
    EXPECT_EQ(view->navBar()->separators().first()->text(), QStringLiteral("›"));
    // Each separator stands right after the crumb it follows.
    EXPECT_LT(view->navBar()->crumbs()[0]->geometry().right(), view->navBar()->separators()[0]->geometry().left());
    EXPECT_LT(view->navBar()->separators()[0]->geometry().right(), view->navBar()->crumbs()[1]->geometry().left());
    // No crumb is cut short when the path fits, not even by a fraction of a pixel.
    for (const TextButton* crumb : view->navBar()->crumbs())
        EXPECT_GE(crumb->width() - 4, QFontMetricsF(crumb->font()).horizontalAdvance(crumb->text()))
            << crumb->text().toStdString();
}

TEST_F(MainListViewTest, ClickingAnAncestorOpensItAndKeepsTheSelection)
{
    state->setCurrentGroupId(QStringLiteral("W3"));
    openView();
    state->setSelectedIds({QStringLiteral("S5")});
    QTest::mouseClick(view->navBar()->crumbs().first(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->currentGroupId(), QStringLiteral("W1"));
    EXPECT_EQ(selected(), QSet<QString>({QStringLiteral("S5")}));
    EXPECT_EQ(texts(view->navBar()->crumbs()), QStringList({"Work"}));
    EXPECT_TRUE(view->navBar()->separators().isEmpty());
}

TEST_F(MainListViewTest, BackGoesOneLevelUpAndFromATopFolderToTheTopLevel)
{
    state->setCurrentGroupId(QStringLiteral("W2"));
    openView();
    QTest::mouseClick(view->navBar()->backButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->currentGroupId(), QStringLiteral("W1"));
    QTest::mouseClick(view->navBar()->backButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->currentGroupId(), std::nullopt);
    EXPECT_FALSE(view->navBar()->isVisible());
}

TEST_F(MainListViewTest, AnOpenFolderThatIsGoneCountsAsTheTopLevel)
{
    state->setCurrentGroupId(QStringLiteral("H1"));
    openView();
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) { data.groups.removeLast(); }));
    settle();
    EXPECT_EQ(cardIds(), QStringList({"W1", "S1", "S2", "S3"}));
    EXPECT_FALSE(view->navBar()->isVisible());
    view->navBar()->goBack();
    EXPECT_EQ(state->currentGroupId(), std::nullopt);
}

// ------------------------------------------------------------------ header

TEST_F(MainListViewTest, ThePlusMenuOpensTheNewShortcutAndNewFolderScreens)
{
    openView();
    MainListHeader* header = view->header();
    EXPECT_EQ(header->wordmark()->text(), QStringLiteral("velmora"));
    EXPECT_EQ(header->addButton()->toolTip(), QStringLiteral("New shortcut or folder"));
    EXPECT_EQ(header->addButton()->accessibleName(), QStringLiteral("New shortcut or folder"));
    EXPECT_EQ(entries(*header->addMenu()), QStringList({"New shortcut", "New folder"}));
    entry(*header->addMenu(), QStringLiteral("New folder"))->trigger();
    entry(*header->addMenu(), QStringLiteral("New shortcut"))->trigger();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0].kind(), PopoverScreen::Kind::newFolder);
    EXPECT_EQ(screens[1].kind(), PopoverScreen::Kind::newShortcut);
}

TEST_F(MainListViewTest, ThePointerOpensAMenuWithNothingHighlightedTheKeyboardWithItsFirstItem)
{
    openView();
    MainListHeader* header = view->header();
    QTest::mouseClick(header->addButton(), Qt::LeftButton, {}, header->addButton()->rect().center());
    ASSERT_TRUE(header->addMenu()->isVisible());
    EXPECT_EQ(header->addMenu()->activeAction(), nullptr);
    header->addMenu()->hide();

    for (SymbolButton* button : {header->addButton(), header->moreButton()}) {
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
    }
    for (const auto& [menu, first] : {std::pair{header->addMenu(), "New shortcut"}, {header->moreMenu(), "Account"}}) {
        ASSERT_NE(menu->activeAction(), nullptr) << first;
        EXPECT_EQ(menu->activeAction()->text(), QString::fromLatin1(first));
        menu->hide();
    }
}

TEST_F(MainListViewTest, TheOtherMenuReachesEveryScreenAndQuits)
{
    openView();
    MainListHeader* header = view->header();
    EXPECT_EQ(header->moreButton()->toolTip(), QStringLiteral("Account, settings and more"));
    EXPECT_EQ(header->moreButton()->accessibleName(), QStringLiteral("Menu"));
    EXPECT_EQ(entries(*header->moreMenu()),
        QStringList({"Account", "Achievements", "Statistics", "-", "Settings & import", "-", "Quit Velmora"}));
    for (const char* item : {"Account", "Achievements", "Statistics", "Settings & import"})
        entry(*header->moreMenu(), QString::fromUtf8(item))->trigger();
    QStringList tags;
    for (const PopoverScreen& screen : screens)
        tags << screen.tag();
    EXPECT_EQ(tags, QStringList({"account", "achievements", "stats", "settings"}));

    entry(*header->moreMenu(), QStringLiteral("Quit Velmora"))->trigger();
    EXPECT_EQ(quits, 1);
}

TEST_F(MainListViewTest, HoveringThePlusMenuDimsItsDisc)
{
    openView();
    MainListHeader* header = view->header();
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(header->addButton(), &enter);
    EXPECT_TRUE(header->isAddMenuHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(header->addButton(), &leave);
    EXPECT_FALSE(header->isAddMenuHovered());
}

// ------------------------------------------------------------------ banners

TEST_F(MainListViewTest, DuplicateTriggersAreCountedAndCanBeReviewed)
{
    addDuplicates();
    state->setCurrentGroupId(QStringLiteral("W1"));
    state->setSearchQuery(QStringLiteral("text"));
    state->setSelectedIds({QStringLiteral("S1")});
    openView();
    DuplicateTriggerBanner* banner = view->duplicateBanner();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(banner->message()->text(), QStringLiteral("2 duplicate triggers"));
    EXPECT_EQ(banner->reviewButton()->text(), QStringLiteral("Review"));
    EXPECT_EQ(banner->toolTip(),
        QStringLiteral("These shortcuts are preserved. Give each trigger a unique name to enable its expansion."));

    QTest::mouseClick(banner->reviewButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(state->reviewingDuplicateShortcuts());
    EXPECT_EQ(state->currentGroupId(), std::nullopt);
    EXPECT_EQ(state->searchQuery(), QString());
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_EQ(cardIds(), QStringList({"A2", "A1", "B3", "B1", "B2"}));
    EXPECT_EQ(banner->reviewButton()->text(), QStringLiteral("Show all"));

    QTest::mouseClick(banner->reviewButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(state->reviewingDuplicateShortcuts());
    EXPECT_EQ(cardIds().first(), QStringLiteral("W1"));
}

TEST_F(MainListViewTest, AReviewOutlivesTheLastDuplicateUntilLeft)
{
    addDuplicates();
    openView();
    QTest::mouseClick(view->duplicateBanner()->reviewButton(), Qt::LeftButton);
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        data.shortcuts.erase(std::remove_if(data.shortcuts.begin(), data.shortcuts.end(),
                                 [](const Shortcut& s) { return s.trigger.size() == 2; }),
            data.shortcuts.end());
    }));
    settle();
    EXPECT_TRUE(view->duplicateBanner()->isVisible());
    EXPECT_EQ(view->duplicateBanner()->message()->text(), QStringLiteral("All triggers are unique"));
    EXPECT_EQ(view->duplicateBanner()->reviewButton()->text(), QStringLiteral("Show all"));
    ASSERT_NE(view->emptyState(), nullptr);
    EXPECT_EQ(view->emptyState()->message()->text(), QStringLiteral("Your words, a shortcut away."));

    QTest::mouseClick(view->duplicateBanner()->reviewButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(view->duplicateBanner()->isVisible());
}

TEST_F(MainListViewTest, WithoutDuplicatesThereIsNoBanner)
{
    openView();
    EXPECT_FALSE(view->duplicateBanner()->isVisible());
}

TEST_F(MainListViewTest, TheAccessibilityBannerFollowsThePermissionEveryTwoSeconds)
{
    trust.trusted = false;
    openView();
    AccessibilityBanner* banner = view->accessibilityBanner();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_FALSE(view->hasAccessibility());
    EXPECT_EQ(banner->toolTip(), QStringLiteral("Not trusted in this test."));

    trust.trusted = true;
    scheduler.advance(1.9);
    EXPECT_TRUE(banner->isVisible());
    scheduler.advance(0.1);
    EXPECT_FALSE(banner->isVisible());
    EXPECT_TRUE(view->hasAccessibility());
    EXPECT_TRUE(banner->toolTip().isEmpty());

    trust.trusted = false;
    scheduler.advance(2);
    EXPECT_TRUE(banner->isVisible());
}

TEST_F(MainListViewTest, TheAccessibilityLineNamesAnApplicationThatCouldNotBeReached)
{
    openView();
    AccessibilityBanner* banner = view->accessibilityBanner();
    EXPECT_FALSE(banner->isVisible());
    trust.setUnreachableApplication(QStringLiteral("Notes"));
    scheduler.advance(2);
    ASSERT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->message()->text().contains(QStringLiteral("Notes")));
    EXPECT_FALSE(banner->enableButton()->isVisible()) << "there is no permission to ask for";
    trust.setUnreachableApplication(QString());
    scheduler.advance(2);
    EXPECT_FALSE(banner->isVisible());
}

TEST_F(MainListViewTest, EnableAsksForThePermissionAndTheBannerWaitsForTheNextCheck)
{
    trust.trusted = false;
    openView();
    TextButton* enable = view->accessibilityBanner()->enableButton();
    EXPECT_EQ(enable->text(), QStringLiteral("Enable"));
    EXPECT_EQ(enable->accessibleName(), QStringLiteral("Enable text expansion in Linux Accessibility settings"));
    trust.trusted = true;
    QTest::mouseClick(enable, Qt::LeftButton);
    EXPECT_EQ(trust.requests, 1);
    EXPECT_TRUE(view->accessibilityBanner()->isVisible());
    scheduler.advance(2);
    EXPECT_FALSE(view->accessibilityBanner()->isVisible());
}

TEST_F(MainListViewTest, WhenAskingCannotHelpTheBannerSaysWhatIsMissingInsteadOfOfferingEnable)
{
    trust.trusted = false;
    trust.requestable = false;
    openView();
    AccessibilityBanner* banner = view->accessibilityBanner();
    ASSERT_TRUE(banner->isVisible());
    EXPECT_FALSE(banner->enableButton()->isVisible());
    EXPECT_EQ(banner->message()->text(), trust.untrustedReason());

    trust.requestable = true;
    scheduler.advance(2);
    EXPECT_TRUE(banner->enableButton()->isVisible());
    EXPECT_NE(banner->message()->text(), trust.untrustedReason());
}

TEST_F(MainListViewTest, TheChecksStopWhileTheScreenIsHidden)
{
    openView();
    // What is left once the one-off work (the tutorial's frames) has run: the check.
    scheduler.runDue();
    EXPECT_EQ(scheduler.pendingCount(), 1);
    view->hide();
    scheduler.runDue();
    EXPECT_EQ(scheduler.pendingCount(), 0);
    trust.trusted = false;
    view->show();
    EXPECT_TRUE(view->accessibilityBanner()->isVisible());
    scheduler.runDue();
    EXPECT_EQ(scheduler.pendingCount(), 1);
}

// ------------------------------------------------------------------ background click and rubber band

TEST_F(MainListViewTest, AClickOnEmptyListSpaceEmptiesTheSelection)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1"), QStringLiteral("W1")});
    QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 30));
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(MainListViewTest, AClickOnEmptySpaceWithNothingSelectedWritesNothing)
{
    openView();
    int changes = 0;
    QObject::connect(state.get(), &AppState::selectedIdsChanged, view.get(), [&] { ++changes; });
    QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 30));
    EXPECT_EQ(changes, 0);
}

TEST_F(MainListViewTest, ABandSelectsExactlyTheCardsItTouchesAndClearsTheRest)
{
    openView();
    state->setSelectedIds({QStringLiteral("S3")});
    const QPoint start(8, centreOf(QStringLiteral("H1")).y());
    band(start, {QPoint(40, centreOf(QStringLiteral("S2")).y())}, Qt::NoModifier, false);
    EXPECT_EQ(selected(), QSet<QString>({"H1", "S1", "S2"}));
    EXPECT_TRUE(view->canvas()->isBandDrawn());
    QTest::mouseRelease(view->canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(40, centreOf(QStringLiteral("S2")).y()));
    EXPECT_FALSE(view->canvas()->isBandDrawn());
    EXPECT_EQ(view->canvas()->selectionRect(), std::nullopt);
    EXPECT_EQ(selected(), QSet<QString>({"H1", "S1", "S2"}));

    QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 30));
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(MainListViewTest, WithCtrlABandAddsToTheSelectionAndKeepsWhatItLeaves)
{
    openView();
    state->setSelectedIds({QStringLiteral("W1")});
    const QPoint start(8, centreOf(QStringLiteral("S1")).y());
    band(start, {QPoint(40, centreOf(QStringLiteral("S3")).y()), QPoint(40, centreOf(QStringLiteral("S1")).y() + 6)},
        Qt::ControlModifier);
    EXPECT_EQ(selected(), QSet<QString>({"W1", "S1", "S2", "S3"}));
}

TEST_F(MainListViewTest, WithoutCtrlShrinkingTheBandDeselectsWhatItLeaves)
{
    openView();
    const QPoint start(8, centreOf(QStringLiteral("S1")).y());
    band(start, {QPoint(40, centreOf(QStringLiteral("S3")).y()), QPoint(40, centreOf(QStringLiteral("S1")).y() + 6)});
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
}

TEST_F(MainListViewTest, APressThatMovesLessThanFivePixelsIsAClickNotABand)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1")});
    const QPoint start(14, centreOf(QStringLiteral("S2")).y());
    band(start, {start + QPoint(4, 0)}, Qt::NoModifier, false);
    EXPECT_EQ(view->canvas()->selectionRect(), std::nullopt);
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
    QTest::mouseRelease(view->canvas(), Qt::LeftButton, Qt::NoModifier, start + QPoint(4, 0));
    EXPECT_TRUE(selected().isEmpty());
}

TEST_F(MainListViewTest, ATinyBandSelectsWithoutBeingDrawn)
{
    openView();
    // From the gap left of S2 into its edge: 4 across and 3 down, 5 away.
    const QPoint start(15, centreOf(QStringLiteral("S2")).y());
    band(start, {start + QPoint(4, 3)}, Qt::NoModifier, false);
    ASSERT_TRUE(view->canvas()->selectionRect().has_value());
    EXPECT_FALSE(view->canvas()->isBandDrawn());
    EXPECT_EQ(selected(), QSet<QString>({"S2"}));
    QTest::mouseRelease(view->canvas(), Qt::LeftButton);
}

// ------------------------------------------------------------------ arrow keys

TEST_F(MainListViewTest, ArrowsMoveTheSelectionFromCardToCard)
{
    openView();
    post(NavDirection::down);
    EXPECT_EQ(selected(), QSet<QString>({"W1"}));
    post(NavDirection::up);
    EXPECT_EQ(selected(), QSet<QString>({"W1"}));
    post(NavDirection::down);
    post(NavDirection::down);
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
    post(NavDirection::right);
    EXPECT_EQ(selected(), QSet<QString>({"S1"}));
}

TEST_F(MainListViewTest, ASelectionThatIsNotShownFallsBackToTheTopCard)
{
    state->setCurrentGroupId(QStringLiteral("W1"));
    openView();
    state->setSelectedIds({QStringLiteral("S4")});
    view->navBar()->goBack();
    settle();
    post(NavDirection::up);
    EXPECT_EQ(selected(), QSet<QString>({"W1"}));
}

TEST_F(MainListViewTest, CardsScrolledOutOfSightStillCount)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        for (int i = 0; i < 20; ++i)
            data.shortcuts << shortcut(
                QStringLiteral("T%1").arg(i), QStringLiteral("/t%1").arg(i), std::nullopt, 10 + i);
    }));
    openView();
    state->setSelectedIds({QStringLiteral("T18")});
    post(NavDirection::down);
    EXPECT_EQ(selected(), QSet<QString>({"T19"}));
    // Far below the screen the row has its frame but no card.
    const CardFrameKey::Value frames = view->canvas()->cardFrames();
    const auto row = std::find_if(
        frames.cbegin(), frames.cend(), [](const auto& entry) { return entry.id == QStringLiteral("T19"); });
    ASSERT_NE(row, frames.cend());
    EXPECT_GT(row->frame.top(), view->scrollArea()->viewport()->height());
}

TEST_F(MainListViewTest, AMoveWithoutADirectionIsIgnored)
{
    openView();
    NotificationCenter::instance().post(Notifications::velmoraMoveSelection, QStringLiteral("down"));
    NotificationCenter::instance().post(Notifications::velmoraMoveSelection);
    EXPECT_TRUE(selected().isEmpty());
}

// ------------------------------------------------------------------ the list's context menu

TEST_F(MainListViewTest, TheListMenuOffersSelectAllOnlyWhileSomethingIsSelected)
{
    openView();
    EXPECT_EQ(entries(*view->buildContextMenu()), QStringList({"New Shortcut", "New Folder", "-", "Paste"}));
    state->setSelectedIds({QStringLiteral("S1")});
    const auto menu = view->buildContextMenu();
    EXPECT_EQ(entries(*menu), QStringList({"New Shortcut", "New Folder", "-", "Paste", "-", "Select All"}));
    entry(*menu, QStringLiteral("Select All"))->trigger();
    EXPECT_EQ(selected(), QSet<QString>({"W1", "H1", "S1", "S2", "S3"}));
}

TEST_F(MainListViewTest, TheListMenuOpensTheNewScreens)
{
    openView();
    const auto menu = view->buildContextMenu();
    entry(*menu, QStringLiteral("New Shortcut"))->trigger();
    entry(*menu, QStringLiteral("New Folder"))->trigger();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0].kind(), PopoverScreen::Kind::newShortcut);
    EXPECT_EQ(screens[1].kind(), PopoverScreen::Kind::newFolder);
}

TEST_F(MainListViewTest, PasteAddsCopiedItemsToTheOpenFolderAndIgnoresOtherText)
{
    state->setCurrentGroupId(QStringLiteral("H1"));
    openView();
    const UserData before = state->userData();
    clipboard.setText(QStringLiteral("just some words"));
    entry(*view->buildContextMenu(), QStringLiteral("Paste"))->trigger();
    EXPECT_EQ(state->userData(), before);
    EXPECT_FALSE(state->canRedo());

    state->setSelectedIds({QStringLiteral("S1")});
    state->copySelected();
    entry(*view->buildContextMenu(), QStringLiteral("Paste"))->trigger();
    settle();
    ASSERT_EQ(view->shortcutCards().size(), 1);
    EXPECT_EQ(view->shortcutCards().first()->shortcut().trigger, QStringLiteral("/sig(2)"));
}

TEST_F(MainListViewTest, CardsOfItemsStillShownAreKeptAndUpdated)
{
    openView();
    ShortcutCard* addr = shortcutCard(QStringLiteral("S2"));
    FolderCard* work = folderCard(QStringLiteral("W1"));
    ASSERT_TRUE(state->updateShortcut(QStringLiteral("S2"), QStringLiteral("/address"), std::nullopt));
    ASSERT_TRUE(state->updateGroup(QStringLiteral("W1"), QStringLiteral("Office"), std::nullopt, std::nullopt));
    ASSERT_TRUE(state->moveShortcutToGroup(QStringLiteral("S1"), QStringLiteral("W1")));
    settle();
    EXPECT_EQ(shortcutCard(QStringLiteral("S2")), addr);
    EXPECT_EQ(addr->triggerLabel()->text(), QStringLiteral("/address"));
    EXPECT_EQ(addr->editButton()->accessibleName(), QStringLiteral("Edit /address"));
    EXPECT_EQ(folderCard(QStringLiteral("W1")), work);
    EXPECT_EQ(work->nameLabel()->text(), QStringLiteral("Office"));
    EXPECT_EQ(work->countLabel()->text(), QStringLiteral("3 items"));
    EXPECT_EQ(cardIds(), QStringList({"W1", "H1", "S2", "S3"}));
    EXPECT_EQ(targetOf(shortcutCard(QStringLiteral("S2"))), QStringLiteral("firstCard"));
    EXPECT_EQ(targetOf(shortcutCard(QStringLiteral("S3"))), QString());
    // Cards stand in the new order on screen too.
    EXPECT_LT(folderCard(QStringLiteral("H1"))->geometry().top(), addr->geometry().top());
}

TEST_F(MainListViewTest, APressOutsideACardsRoundedCornerBelongsToTheList)
{
    openView();
    state->setSelectedIds({QStringLiteral("S1")});
    ShortcutCard* card = shortcutCard(QStringLiteral("S2"));
    // Next to the very corner lies outside the rounded shape: the click reaches the list.
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_TRUE(selected().isEmpty());
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(14, 1));
    EXPECT_EQ(selected(), QSet<QString>({"S2"}));
}

TEST_F(MainListViewTest, TheListNotTheSearchFieldHoldsTheKeyboardWhenTheScreenAppears)
{
    openView();
    QApplication::setActiveWindow(view.get());
    EXPECT_FALSE(view->searchBar()->field()->hasFocus());
    EXPECT_TRUE(view->canvas()->hasFocus());
    view->searchBar()->focusField();
    EXPECT_TRUE(view->searchBar()->field()->hasFocus());
    QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 30));
    EXPECT_TRUE(view->canvas()->hasFocus());
}

TEST_F(MainListViewTest, AFolderNameInThePathIsShownAsWrittenAndMakesNoKeyboardShortcut)
{
    ASSERT_TRUE(state->updateGroup(QStringLiteral("W1"), QStringLiteral("R&D"), std::nullopt, std::nullopt));
    state->setCurrentGroupId(QStringLiteral("W2"));
    openView();
    TextButton* crumb = view->navBar()->crumbs().first();
    EXPECT_EQ(crumb->text(), QStringLiteral("R&D"));
    EXPECT_TRUE(crumb->shortcut().isEmpty());
}

// ------------------------------------------------------------------ long lists

TEST_F(MainListViewTest, ALongListBuildsCardsOnlyNearTheScreenAndFollowsTheScroll)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        for (int i = 0; i < 300; ++i)
            data.shortcuts << shortcut(QStringLiteral("L%1").arg(i), QStringLiteral("/l%1").arg(i), std::nullopt,
                10 + i, i % 3 ? QStringLiteral("short") : QString(300, u'w'));
    }));
    openView();
    EXPECT_LT(view->shortcutCards().size(), 60);
    const CardFrameKey::Value frames = view->canvas()->cardFrames();
    ASSERT_EQ(frames.size(), 2 + 303);
    EXPECT_EQ(view->canvas()->height(), frames.last().frame.bottom() + 18);

    QScrollBar* scroll = view->scrollArea()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    settle();
    ShortcutCard* last = shortcutCard(QStringLiteral("L299"));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(QRectF(last->geometry()), view->canvas()->cardFrames().last().frame);
    // The first shortcut keeps its card for the tutorial; the rows between are let go.
    EXPECT_EQ(targetOf(shortcutCard(QStringLiteral("S1"))), QStringLiteral("firstCard"));
    EXPECT_FALSE(cardIds().contains(QStringLiteral("L100")));

    QTest::mouseClick(last, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    EXPECT_EQ(selected(), QSet<QString>({"L299"}));
    post(NavDirection::up);
    EXPECT_EQ(selected(), QSet<QString>({"L298"}));
    EXPECT_TRUE(shortcutCard(QStringLiteral("L298"))->isSelected());
}

TEST_F(MainListViewTest, ASearchShowsTheCardsOnScreenWithTheKeyAndThoseBelowOnceIdleInLongAndShortLists)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        for (int i = 0; i < 300; ++i)
            data.shortcuts << shortcut(QStringLiteral("L%1").arg(i), QStringLiteral("/l%1").arg(i), std::nullopt,
                10 + i, QStringLiteral("short"));
    }));
    openView();
    const int screenHeight = view->scrollArea()->viewport()->height();
    const auto builtBefore = [&](const auto& isOnScreen) {
        const QStringList built = cardIds();
        for (const auto& row : view->canvas()->cardFrames()) {
            if (isOnScreen(row.frame) && !built.contains(row.id))
                return row.id;
        }
        return QString();
    };
    // From all 300 rows down to the eleven of "/l10": a long list and a short one.
    for (const QString& key : {QStringLiteral("/l"), QStringLiteral("1"), QStringLiteral("0")}) {
        QTest::keyClicks(view->searchBar()->field(), key);
        const int screenBottom = screenHeight - view->canvas()->y();
        EXPECT_EQ(builtBefore([&](const QRectF& frame) { return frame.top() < screenBottom; }), QString())
            << key.toStdString();
        // A screen's height below keeps cards ready for the scroll.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return builtBefore([&](const QRectF& f) { return f.top() < screenBottom + screenHeight; }).isEmpty();
            },
            5000))
            << key.toStdString();
    }
}

TEST_F(MainListViewTest, EveryBuiltCardStandsWhereTheArrangementPutItsRow)
{
    const auto expectCardsOnTheirRows = [this](const char* when) {
        const CardFrameKey::Value frames = view->canvas()->cardFrames();
        for (const LibraryItemCard* card : view->canvas()->cards()) {
            const auto row
                = std::find_if(frames.cbegin(), frames.cend(), [&](const auto& e) { return e.id == card->itemId(); });
            ASSERT_NE(row, frames.cend());
            EXPECT_EQ(QRectF(card->geometry()), row->frame) << card->itemId().toStdString() << " " << when;
            // The row is as tall as the card's content needs.
            EXPECT_EQ(card->height(), card->heightForWidth(card->width()))
                << card->itemId().toStdString() << " " << when;
        }
    };
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        const QStringList texts = {QString(), QStringLiteral("one line"), QStringLiteral("two\nlines"),
            QString(500, u'x'), QStringLiteral("a text that is a little too long to fit on one line of the card")};
        for (int i = 0; i < 60; ++i)
            data.shortcuts << shortcut(QStringLiteral("V%1").arg(i), QStringLiteral("/v%1").arg(i),
                i % 2 ? std::optional(QStringLiteral("W1")) : std::nullopt, 10 + i,
                texts[i % texts.size()] + QStringLiteral(" "));
    }));
    openView();
    view->searchBar()->field()->setText(QStringLiteral("/v"));
    settle();
    QScrollBar* scroll = view->scrollArea()->verticalScrollBar();
    for (int step = 0; step <= 4; ++step) {
        scroll->setValue(scroll->maximum() * step / 4);
        settle();
        expectCardsOnTheirRows("scrolled");
    }
    ASSERT_TRUE(state->updateSettings([](AppSettings& s) { s.expandText = true; }));
    settle();
    expectCardsOnTheirRows("with whole texts");
}

TEST_F(MainListViewTest, RowsWithoutCardsAreAsTallAsTheirCardsWouldBe)
{
    ASSERT_TRUE(editLibrary(*state, [](UserData& data) {
        const QStringList texts
            = {QStringLiteral("one line"), QStringLiteral("ends with a break\n"), QStringLiteral("two\nlines"),
                QString(400, u'x'), QStringLiteral("a text that is a little too long for one line of the card"),
                QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln \U0001F389"),
                QStringLiteral("\u00c0 bient\u00f4t \u2014 un texte un peu trop long pour une seule ligne"),
                // Overfilling its line with its ASCII characters alone.
                QStringLiteral("\u4e16\u754c \U0001F389 ") + QString(120, u'm')};
        // Folder lines with and without an icon.
        data.groups[0].icon = QStringLiteral("briefcase");
        data.groups[3].icon = QStringLiteral("\U0001F3E0");
        for (int i = 0; i < 14; ++i)
            data.shortcuts << shortcut(QStringLiteral("E%1").arg(i), QStringLiteral("/e%1").arg(i),
                i % 3 ? std::optional(i % 3 == 1 ? QStringLiteral("W1") : QStringLiteral("H1")) : std::nullopt, 10 + i,
                texts[i % texts.size()]);
    }));
    openView();
    for (const QString& query : {QString(), QStringLiteral("/e")}) {
        view->searchBar()->field()->setText(query);
        settle();
        CardHeightEstimate estimate(*state, *commands);
        for (ShortcutCard* card : view->shortcutCards()) {
            const bool folderLine = card->folderLine()->isVisibleTo(card);
            EXPECT_EQ(estimate.shortcut(card->shortcut(), folderLine, card->width()), card->height())
                << card->itemId().toStdString() << " searching " << !query.isEmpty();
        }
        for (FolderCard* card : view->folderCards())
            EXPECT_EQ(estimate.folder(card->width()), card->height());
    }
}
