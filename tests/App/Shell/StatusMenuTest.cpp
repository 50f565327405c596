#include "AppShellFixture.h"
#include "Services/TutorialManager.h"
#include "Utilities/ToastManager.h"
#include "Views/MenuBar/forms/FolderFormView.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>

namespace {

class StatusMenu : public AppShellFixture {
protected:
    QMenu& menu() { return *delegate->statusMenu(); }

    // What the tray shows: the menu brought up to date as it opens.
    QStringList shownTitles()
    {
        Q_EMIT menu().aboutToShow();
        QStringList titles;
        for (const QAction* action : menu().actions())
            titles.append(action->isSeparator() ? QStringLiteral("--") : action->text());
        return titles;
    }

    QAction* item(const QString& title)
    {
        Q_EMIT menu().aboutToShow();
        for (QAction* action : menu().actions()) {
            if (action->text() == title)
                return action;
        }
        ADD_FAILURE() << "no item " << title.toStdString();
        return nullptr;
    }

    QString toast() { return ToastManager::shared().message().value_or(QString()); }

    PostedNotifications posted;
};

TEST_F(StatusMenu, ListsItsItemsInOrderWithTheirKeys)
{
    launchAndSettle();
    EXPECT_EQ(shownTitles(),
        (QStringList{"New Shortcut", "New Folder", "--", "Disable Expansion", "--", "0 expansions \u2022 0s saved",
            "--", "Replay Tutorial", "--", "Quit Velmora"}));
    EXPECT_EQ(item("New Shortcut")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(item("New Folder")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    EXPECT_EQ(item("Quit Velmora")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_FALSE(item("0 expansions \u2022 0s saved")->isEnabled());
}

TEST_F(StatusMenu, TheStatisticsLineIsCurrentWhenTheMenuOpens)
{
    launchAndSettle();
    state().recordExpansion(QStringLiteral("/x"), 300);
    state().recordExpansion(QStringLiteral("/x"), 0);
    EXPECT_EQ(shownTitles().at(5), QStringLiteral("2 expansions \u2022 1.5m saved"));
}

TEST_F(StatusMenu, ShowsEnableExpansionWhileTheEngineIsStoppedForAnyReason)
{
    desktop.trust.trusted = false;
    launchAndSettle();
    EXPECT_EQ(shownTitles().at(3), QStringLiteral("Enable Expansion"));
}

TEST_F(StatusMenu, AnItemRunThroughItsAccessibleActionClosesTheMenu)
{
    launchAndSettle();
    menu().popup(QPoint(20, 20));
    ASSERT_TRUE(menu().isVisible());
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(&menu());
    QAccessibleInterface* toggle = nullptr;
    for (int i = 0; i < shown->childCount(); ++i) {
        if (shown->child(i)->text(QAccessible::Name) == QLatin1String("Disable Expansion"))
            toggle = shown->child(i);
    }
    ASSERT_NE(toggle, nullptr);
    toggle->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(engineRunning());
    EXPECT_FALSE(menu().isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu still holds the keyboard";
}

TEST_F(StatusMenu, TheSwitchStopsAndStartsTheEngineWithAToast)
{
    launchAndSettle();
    item("Disable Expansion")->trigger();
    EXPECT_FALSE(engineRunning());
    EXPECT_FALSE(delegate->expansionEnabled());
    EXPECT_EQ(toast(), QStringLiteral("Expansion disabled"));

    item("Enable Expansion")->trigger();
    EXPECT_TRUE(engineRunning());
    EXPECT_EQ(toast(), QStringLiteral("Expansion enabled"));
}

TEST_F(StatusMenu, TurningExpansionOnWithoutPermissionSaysWhatIsMissingAndStartsLater)
{
    desktop.trust.trusted = false;
    launchAndSettle();
    item("Enable Expansion")->trigger();
    EXPECT_TRUE(delegate->expansionEnabled());
    EXPECT_FALSE(engineRunning());
    EXPECT_EQ(toast(), QStringLiteral("Accessibility permission is required"));

    desktop.trust.trusted = true;
    scheduler.advance(2);
    EXPECT_TRUE(engineRunning()) << "the permission poll starts it";
}

TEST_F(StatusMenu, TheSwitchDoesNothingWhileStorageIsNotReady)
{
    dir.write(QStringLiteral("data.json"), "[");
    launchAndSettle();
    const QString before = toast();
    item("Enable Expansion")->trigger();
    EXPECT_TRUE(delegate->expansionEnabled());
    EXPECT_FALSE(engineRunning());
    EXPECT_EQ(toast(), before);
}

TEST_F(StatusMenu, NewShortcutAndNewFolderOpenThePopoverOnTheirForms)
{
    launchAndSettle();
    auto* shell = qobject_cast<MenuBarPopover*>(popover().content());
    ASSERT_NE(shell, nullptr);
    const auto shownForm = [shell] {
        QApplication::processEvents();
        return shell->currentScreenWidget();
    };
    delegate->closePopover();
    scheduler.advance(120);
    item("New Shortcut")->trigger();
    EXPECT_TRUE(popover().isShown());
    EXPECT_NE(qobject_cast<ShortcutFormView*>(shownForm()), nullptr);
    EXPECT_EQ(posted.count(Notifications::velmoraResetToMain), 0) << "the menu's opening keeps the screen it asks for";
    scheduler.runDue();
    EXPECT_FALSE(delegate->isOutsideClickMonitorInstalled());

    item("New Folder")->trigger();
    EXPECT_TRUE(popover().isShown());
    EXPECT_NE(qobject_cast<FolderFormView*>(shownForm()), nullptr);

    delegate->closePopover();
    item("New Shortcut")->trigger();
    EXPECT_TRUE(popover().isShown()) << "from another form, too";
    EXPECT_NE(qobject_cast<ShortcutFormView*>(shownForm()), nullptr);
}

TEST_F(StatusMenu, ReplayTutorialOpensThePopoverAndStartsTheTutorialShortlyAfter)
{
    launchAndSettle();
    TutorialManager::shared().complete();
    delegate->closePopover();
    item("Replay Tutorial")->trigger();
    EXPECT_TRUE(popover().isShown());
    scheduler.advance(0.29);
    EXPECT_FALSE(TutorialManager::shared().isActive());
    scheduler.advance(0.01);
    EXPECT_TRUE(TutorialManager::shared().isActive());
    EXPECT_EQ(TutorialManager::shared().currentStep(), 0);
    TutorialManager::shared().complete();
}

TEST_F(StatusMenu, QuitEndsTheApplication)
{
    launchAndSettle();
    item("Quit Velmora")->trigger();
    EXPECT_EQ(terminations, 1);
}

} // namespace
