#include "AppShellFixture.h"
#include "FakeBrowser.h"
#include "LibraryFixtures.h"
#include "ManualMotionSettings.h"

#include "App/Shell/PopoverKeyHandler.h"
#include "Services/TutorialManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/list/MainListHeader.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "Views/MenuBar/tutorial/CelebrationView.h"
#include "Views/MenuBar/tutorial/FloatingTutorialHelper.h"
#include "Views/MenuBar/tutorial/TutorialOverlay.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"
#include "Views/MenuBar/tutorial/TutorialTooltip.h"

#include <QApplication>
#include <QMenu>
#include <QSet>
#include <QSettings>
#include <QTest>

namespace {

// The tutorial as the user meets it: started from the status menu, walked with clicks on the
// popover, finished by typing the new shortcut in another application.
class TutorialWalk : public AppShellFixture {
protected:
    void SetUp() override
    {
        QSettings().remove(QLatin1String(TutorialManager::storageKey));
        UserData library = UserData::empty();
        library.shortcuts = {
            LibraryFixtures::shortcut(QStringLiteral("00000000-0000-4000-8000-000000000001"), QStringLiteral("/sig"))};
        writeLibrary(library);
        // Windows an earlier test left behind hand the activation back on their way out;
        // that must not reach this test's popover.
        settle();
        launchAndSettle();
    }
    void TearDown() override { TutorialManager::shared().skip(); }

    MenuBarPopover& shell() { return *qobject_cast<MenuBarPopover*>(popover().content()); }
    TutorialOverlay& overlay() { return *shell().tutorialOverlay(); }
    TutorialManager& tutorial() { return TutorialManager::shared(); }

    void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        scheduler.runDue();
    }

    // A click on whatever lies on top at the middle of `widget` (or at `local` in it).
    void click(const QWidget* widget, std::optional<QPoint> local = std::nullopt)
    {
        const QPoint inShell = widget->mapTo(&shell(), local.value_or(widget->rect().center()));
        QWidget* target = shell().childAt(inShell);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(&shell(), inShell));
        settle();
    }

    void press(Qt::Key key)
    {
        QTest::keyClick(popover().windowHandle(), key);
        settle();
    }

    void replay()
    {
        delegate->menuReplayTutorial();
        scheduler.advance(AppDelegate::tutorialStartDelay);
        settle();
    }

    FakeBrowser browser;
    // The hole and the card jump to each step instead of gliding in real time.
    ManualMotionSettings motion{true};
};

} // namespace

TEST_F(TutorialWalk, FromTheStatusMenuToTheCelebratedFirstExpansion)
{
    replay();
    ASSERT_TRUE(overlay().isVisible());

    // Reading steps: the card's button, then a click anywhere on the dim.
    click(overlay().tooltip()->primaryButton());
    click(&overlay(), QPoint(4, overlay().height() - 4));
    ASSERT_EQ(tutorial().currentStep(), 2);

    // + and "New shortcut", through the hole.
    auto* list = qobject_cast<MainListView*>(shell().currentScreenWidget());
    ASSERT_NE(list, nullptr);
    QMenu* menu = list->header()->addMenu();
    click(list->header()->addButton());
    ASSERT_TRUE(menu->isVisible());
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("New shortcut"))
            action->trigger();
    }
    menu->close();
    settle();
    ASSERT_EQ(tutorial().currentStep(), 3);
    auto* form = qobject_cast<ShortcutFormView*>(shell().currentScreenWidget());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->triggerField()->text(), QStringLiteral("/hello"));

    click(overlay().tooltip()->primaryButton());
    click(overlay().tooltip()->primaryButton());
    ASSERT_EQ(tutorial().currentStep(), 5);
    click(form->saveButton());
    ASSERT_EQ(tutorial().currentStep(), 6);
    EXPECT_EQ(shell().screen().tag(), QStringLiteral("main"));

    click(overlay().tooltip()->primaryButton());
    EXPECT_EQ(tutorial().currentStep(), 7);
    EXPECT_FALSE(popover().isShown());
    EXPECT_EQ(browser.opened().size(), 1);
    scheduler.advance(1.5);
    auto* helper = qobject_cast<FloatingTutorialHelper*>(delegate->tutorialPanels()->panel());
    ASSERT_NE(helper, nullptr);
    EXPECT_TRUE(helper->isVisible());
    EXPECT_EQ(helper->trigger(), QStringLiteral("/hello"));

    desktop.focusNewField();
    desktop.type(QStringLiteral("/hello"));
    scheduler.advance(2);
    EXPECT_EQ(state().stats().totalExpansions, 1);
    auto* celebration = qobject_cast<CelebrationView*>(delegate->tutorialPanels()->panel());
    ASSERT_NE(celebration, nullptr);
    EXPECT_TRUE(celebration->isVisible());
    EXPECT_TRUE(tutorial().isActive());

    scheduler.advance(4);
    EXPECT_FALSE(tutorial().isActive());
    EXPECT_TRUE(tutorial().onboardState().tutorialCompleted);
    EXPECT_EQ(delegate->tutorialPanels()->panel(), nullptr);
}

TEST_F(TutorialWalk, TheKeyboardStaysOnTheCardAndTheHighlightedControl)
{
    replay();
    ASSERT_TRUE(overlay().isVisible());
    TutorialTooltip* card = overlay().tooltip();
    // Tab walks the card's buttons only, round and round.
    QSet<QWidget*> reached;
    for (int tabs = 0; tabs < 8; ++tabs) {
        press(Qt::Key_Tab);
        QWidget* focus = popover().focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(card->isAncestorOf(focus)) << focus->metaObject()->className() << " under the dim layer";
        reached.insert(focus);
    }
    EXPECT_GE(reached.size(), 2);
    // Space and letters never reach the list or its search field behind the spotlight.
    const QString query = state().searchQuery();
    QTest::keyClick(popover().windowHandle(), 'x');
    settle();
    EXPECT_EQ(state().searchQuery(), query);

    // Return presses the card's default button, whichever button had the focus before.
    while (popover().focusWidget() != card->primaryButton())
        press(Qt::Key_Tab);
    press(Qt::Key_Return);
    EXPECT_EQ(tutorial().currentStep(), 1);
    press(Qt::Key_Return);
    ASSERT_EQ(tutorial().currentStep(), 2);

    // On a step that asks for the highlighted control, Tab reaches it and nothing else
    // outside the card.
    auto* list = qobject_cast<MainListView*>(shell().currentScreenWidget());
    ASSERT_NE(list, nullptr);
    bool reachedTarget = false;
    for (int tabs = 0; tabs < 8; ++tabs) {
        press(Qt::Key_Tab);
        QWidget* focus = popover().focusWidget();
        ASSERT_NE(focus, nullptr);
        const bool target = focus == list->header()->addButton();
        reachedTarget |= target;
        EXPECT_TRUE(target || card->isAncestorOf(focus)) << focus->metaObject()->className();
    }
    EXPECT_TRUE(reachedTarget);
}

TEST_F(TutorialWalk, EveryStepIsTakenWithTheKeyboardAlone)
{
    replay();
    press(Qt::Key_Return);
    press(Qt::Key_Return);
    ASSERT_EQ(tutorial().currentStep(), 2);

    // The step without a button of its own hands the keyboard to the highlighted control.
    auto* list = qobject_cast<MainListView*>(shell().currentScreenWidget());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(popover().focusWidget(), list->header()->addButton());
    press(Qt::Key_Return);
    QMenu* menu = list->header()->addMenu();
    ASSERT_TRUE(menu->isVisible());
    // An open menu has the keyboard to itself; opened from the keyboard, its first item is
    // already highlighted.
    QTest::keyClick(menu->windowHandle(), Qt::Key_Return);
    settle();
    ASSERT_EQ(tutorial().currentStep(), 3);
    auto* form = qobject_cast<ShortcutFormView*>(shell().currentScreenWidget());
    ASSERT_NE(form, nullptr);

    press(Qt::Key_Return);
    press(Qt::Key_Return);
    ASSERT_EQ(tutorial().currentStep(), 5);
    EXPECT_EQ(popover().focusWidget(), form->saveButton()) << "not a control under the dim layer";
    press(Qt::Key_Return);
    ASSERT_EQ(tutorial().currentStep(), 6);
    EXPECT_EQ(state().userData().shortcuts.size(), 2);

    press(Qt::Key_Return);
    EXPECT_EQ(tutorial().currentStep(), 7);
    EXPECT_EQ(browser.opened().size(), 1);
}

TEST_F(TutorialWalk, EscapeEndsTheTutorialFirstAndThenClosesThePopover)
{
    state().selectAll();
    replay();
    press(Qt::Key_Escape);
    EXPECT_FALSE(tutorial().isActive());
    EXPECT_TRUE(popover().isShown());
    EXPECT_FALSE(state().selectedIds().isEmpty()) << "the selection is not what Escape was for";

    press(Qt::Key_Escape);
    press(Qt::Key_Escape);
    EXPECT_FALSE(popover().isShown());
}

TEST_F(TutorialWalk, ClosingTheHelperPanelEndsTheTutorial)
{
    replay();
    while (tutorial().currentStep() < 7)
        tutorial().next();
    scheduler.advance(1.5);
    QWidget* helper = delegate->tutorialPanels()->panel();
    ASSERT_NE(helper, nullptr);
    EXPECT_TRUE(helper->windowFlags().testFlag(Qt::FramelessWindowHint)) << "no close button of the window system";
    EXPECT_TRUE(helper->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    helper->close();
    EXPECT_FALSE(tutorial().isActive());
    EXPECT_FALSE(tutorial().onboardState().tutorialCompleted);
    EXPECT_EQ(delegate->tutorialPanels()->panel(), nullptr);
}
