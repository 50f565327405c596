#include "App/Shell/PopoverKeyHandler.h"
#include "AppShellFixture.h"
#include "LibraryFixtures.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/GlassTextArea.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/MenuBar/achievements/AchievementsView.h"
#include "Views/MenuBar/achievements/BadgeCard.h"
#include "Views/MenuBar/achievements/DetailSheet.h"
#include "Views/MenuBar/achievements/FilterChip.h"
#include "Views/MenuBar/chooser/EmojiTabContent.h"
#include "Views/MenuBar/chooser/IconChooserSheet.h"
#include "Views/MenuBar/chooser/IconTileGrid.h"
#include "Views/MenuBar/forms/FlowingSwatches.h"
#include "Views/MenuBar/forms/FolderFormView.h"
#include "Views/MenuBar/forms/FolderMenuButton.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/forms/VisibilityPill.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>
#include <QTest>

namespace {

const QString shortcutId = QStringLiteral("00000000-0000-4000-8000-000000000001");
const QString folderId = QStringLiteral("00000000-0000-4000-8000-0000000000f1");

// The application with its own popover, over a library of one folder and one shortcut, keys
// typed into the popover's window as a user types them.
class PopoverKeyRouting : public AppShellFixture {
protected:
    void SetUp() override
    {
        UserData library = UserData::empty();
        Group work;
        work.id = folderId;
        work.name = QStringLiteral("Work");
        work.visibility = QStringLiteral("private");
        library.groups = {work};
        library.shortcuts = {LibraryFixtures::shortcut(shortcutId, QStringLiteral("/a"))};
        writeLibrary(library);
        launchAndSettle();
        settle();
    }

    MenuBarPopover& shell() { return *qobject_cast<MenuBarPopover*>(popover().content()); }
    QString screen() { return shell().screen().tag(); }
    template <class Screen> Screen* shown() { return qobject_cast<Screen*>(shell().currentScreenWidget()); }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(popover().windowHandle(), Qt::Key(key), modifiers);
        settle();
    }

    void type(const char* text)
    {
        for (const char* c = text; *c; ++c)
            QTest::keyClick(popover().windowHandle(), *c);
        settle();
    }

    void settle()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void setConfirmDelete(bool confirm)
    {
        state().updateSettings([confirm](AppSettings& s) { s.confirmDelete = confirm; });
    }

    // The new-folder form with the icon chooser open over it, the shortcut selected behind.
    IconChooserSheet* openChooserOnNewFolder()
    {
        state().setSelectedIds({shortcutId});
        press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        auto* form = shown<FolderFormView>();
        if (!form)
            return nullptr;
        for (auto* button : form->findChildren<QAbstractButton*>()) {
            if (button->accessibleName() == QLatin1String("Choose folder icon"))
                button->click();
        }
        settle();
        return form->findChild<IconChooserSheet*>();
    }

    // Nothing in the library changed and no question was raised about it.
    void expectLibraryUntouched()
    {
        EXPECT_FALSE(state().pendingConfirmation().has_value());
        EXPECT_EQ(state().userData().shortcuts.size(), 1);
        EXPECT_EQ(state().userData().groups.size(), 1);
        EXPECT_EQ(state().selectedIds(), QSet<QString>({shortcutId}));
    }

    PostedNotifications posted;
};

TEST_F(PopoverKeyRouting, ReturnInTheChooserPicksAnIconAndKeepsTheNewFolder)
{
    IconChooserSheet* chooser = openChooserOnNewFolder();
    ASSERT_NE(chooser, nullptr);
    press(Qt::Key_Return);
    EXPECT_EQ(posted.count(Notifications::velmoraEditShortcut), 0);
    EXPECT_EQ(screen(), QStringLiteral("newFolder"));
    auto* form = shown<FolderFormView>();
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->showingIconChooser());
    EXPECT_TRUE(form->selectedIconKey().has_value()) << "Return picked the tile the grid had";
}

TEST_F(PopoverKeyRouting, TheKeyboardStaysInTheChooserUntilItClosesAndThenGoesBack)
{
    press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    auto* form = shown<FolderFormView>();
    ASSERT_NE(form, nullptr);
    type("Pets");
    const auto focused = [this] { return popover().focusWidget(); };
    const auto onOpener
        = [&] { return focused() && focused()->accessibleName() == QLatin1String("Choose folder icon"); };
    for (int tabs = 0; tabs < 12 && !onOpener(); ++tabs)
        press(Qt::Key_Tab);
    ASSERT_TRUE(onOpener()) << (focused() ? focused()->metaObject()->className() : "nothing focused");
    QWidget* opener = focused();
    press(Qt::Key_Return);
    const QPointer<IconChooserSheet> chooser = form->findChild<IconChooserSheet*>();
    ASSERT_NE(chooser, nullptr);

    // Escape after a search ends the typing and leaves the keyboard with the chooser (named,
    // for a screen reader); then no count of Tabs, Backtabs and a Return reaches the form.
    for (const int tabs : {1, 3, 5, 16}) {
        for (const int key : {int(Qt::Key_Tab), int(Qt::Key_Backtab)}) {
            ASSERT_TRUE(chooser) << "closed before " << tabs << " presses of " << key;
            chooser->tabButton(IconChooserSheet::Tab::emoji)->click();
            chooser->emojiContent()->setQuery(QString());
            chooser->emojiContent()->searchField()->setFocus();
            type("dog");
            ASSERT_EQ(chooser->emojiContent()->query(), QStringLiteral("dog"));
            press(Qt::Key_Escape);
            ASSERT_TRUE(form->showingIconChooser()) << "the first Escape only ends the typing";
            ASSERT_EQ(focused(), chooser);
            EXPECT_FALSE(QAccessible::queryAccessibleInterface(focused())->text(QAccessible::Name).isEmpty());
            for (int i = 0; i < tabs; ++i) {
                press(key);
                ASSERT_TRUE(chooser->card()->isAncestorOf(focused()))
                    << tabs << " tabs reached " << focused()->metaObject()->className();
            }
            if (qobject_cast<IconTileGrid*>(focused()))
                continue; // Return would pick an emoji, which the next round would miss
            press(Qt::Key_Return);
            ASSERT_EQ(shown<FolderFormView>(), form) << "Back was not pressed";
            EXPECT_EQ(form->name(), QStringLiteral("Pets"));
            ASSERT_EQ(form->findChildren<IconChooserSheet*>().size(), 1) << "no second chooser";
            ASSERT_EQ(form->findChild<IconChooserSheet*>(), chooser.data());
        }
    }

    // Closed, it gives the keyboard back to the button that opened it.
    ASSERT_TRUE(chooser);
    chooser->tabButton(IconChooserSheet::Tab::emoji)->click();
    chooser->emojiContent()->searchField()->setFocus();
    press(Qt::Key_Escape);
    press(Qt::Key_Escape);
    ASSERT_EQ(shown<FolderFormView>(), form);
    EXPECT_FALSE(form->showingIconChooser());
    EXPECT_EQ(focused(), opener);
    EXPECT_EQ(form->name(), QStringLiteral("Pets"));
}

TEST_F(PopoverKeyRouting, ArrowKeysMoveInTheChooserGridNotTheHiddenList)
{
    IconChooserSheet* chooser = openChooserOnNewFolder();
    ASSERT_NE(chooser, nullptr);
    IconTileGrid* grid = chooser->iconGrid();
    const int before = grid->currentIndex();
    press(Qt::Key_Right);
    EXPECT_NE(grid->currentIndex(), before);
    press(Qt::Key_Down);
    EXPECT_EQ(posted.count(Notifications::velmoraMoveSelection), 0);
    press(Qt::Key_Space);
    EXPECT_FALSE(shown<FolderFormView>()->showingIconChooser()) << "Space picks too";
    expectLibraryUntouched();
}

TEST_F(PopoverKeyRouting, DeleteInTheChooserOrAFormNeverTouchesTheHiddenSelection)
{
    for (const bool confirm : {true, false}) {
        setConfirmDelete(confirm);
        ASSERT_NE(openChooserOnNewFolder(), nullptr);
        press(Qt::Key_Backspace);
        press(Qt::Key_Delete);
        expectLibraryUntouched();

        press(Qt::Key_Escape);
        ASSERT_EQ(screen(), QStringLiteral("newFolder"));
        shell().setFocus();
        press(Qt::Key_Backspace);
        press(Qt::Key_Delete, Qt::ControlModifier);
        press(Qt::Key_A, Qt::ControlModifier);
        press(Qt::Key_D, Qt::ControlModifier);
        expectLibraryUntouched();
        press(Qt::Key_Escape);
        ASSERT_EQ(screen(), QStringLiteral("main"));
    }
}

TEST_F(PopoverKeyRouting, EscapeInTheChooserClosesItAndLeavesTheListWhereItWas)
{
    state().setCurrentGroupId(folderId);
    IconChooserSheet* chooser = openChooserOnNewFolder();
    ASSERT_NE(chooser, nullptr);
    press(Qt::Key_Escape);
    EXPECT_EQ(screen(), QStringLiteral("newFolder"));
    EXPECT_FALSE(shown<FolderFormView>()->showingIconChooser());
    EXPECT_EQ(state().currentGroupId(), folderId);
    EXPECT_EQ(state().selectedIds(), QSet<QString>({shortcutId}));
    EXPECT_TRUE(popover().isShown());
}

TEST_F(PopoverKeyRouting, EscapeInAFormsFieldEndsTheTypingAndTheNextOneCancelsTheForm)
{
    state().setSelectedIds({shortcutId});
    press(Qt::Key_N, Qt::ControlModifier);
    auto* form = shown<ShortcutFormView>();
    ASSERT_NE(form, nullptr);
    type("/new");
    press(Qt::Key_Tab);
    type("Kind regards");
    ASSERT_TRUE(delegate->keyMonitor()->isTypingText());

    press(Qt::Key_Escape);
    ASSERT_EQ(shown<ShortcutFormView>(), form) << "the draft stays";
    EXPECT_FALSE(delegate->keyMonitor()->isTypingText());
    EXPECT_EQ(form->triggerField()->text(), QStringLiteral("/new"));
    EXPECT_EQ(form->expansionArea()->editor()->toPlainText(), QStringLiteral("Kind regards"));

    press(Qt::Key_Escape);
    EXPECT_EQ(screen(), QStringLiteral("main"));
    EXPECT_TRUE(popover().isShown());
    EXPECT_EQ(state().userData().shortcuts.size(), 1) << "nothing saved";
    EXPECT_EQ(state().selectedIds(), QSet<QString>({shortcutId}));

    delegate->closePopover();
    delegate->showPopover();
    EXPECT_EQ(screen(), QStringLiteral("main"));
}

TEST_F(PopoverKeyRouting, ReturnSavesAFormFromItsField)
{
    press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(shown<FolderFormView>(), nullptr);
    type("Home");
    press(Qt::Key_Return);
    EXPECT_EQ(screen(), QStringLiteral("main"));
    EXPECT_EQ(state().userData().groups.size(), 2);
}

TEST_F(PopoverKeyRouting, ReturnPressesTheFocusedButtonOrRowAsSpaceDoes)
{
    press(Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_EQ(screen(), QStringLiteral("settings"));
    QWidget* row = nullptr;
    for (int tabs = 0; tabs < 40 && !row; ++tabs) {
        press(Qt::Key_Tab);
        QWidget* focus = popover().focusWidget();
        if (focus && focus->inherits("SettingsToggleRow"))
            row = focus;
    }
    ASSERT_NE(row, nullptr) << "Tab reaches the settings' switches";
    const auto settings = [this] { return VelmoraJSON::encode(state().settings()); };
    const QByteArray before = settings();
    press(Qt::Key_Return);
    EXPECT_NE(settings(), before) << "Return switched the focused row";
    press(Qt::Key_Space);
    EXPECT_EQ(settings(), before) << "Space switched it back";
}

TEST_F(PopoverKeyRouting, ReturnOnAFormsCancelCancelsInsteadOfSaving)
{
    press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(shown<FolderFormView>(), nullptr);
    type("Home");
    QAbstractButton* cancel = nullptr;
    for (int tabs = 0; tabs < 40 && !cancel; ++tabs) {
        press(Qt::Key_Tab);
        auto* focus = qobject_cast<QAbstractButton*>(popover().focusWidget());
        if (focus && focus->text() == QLatin1String("Cancel"))
            cancel = focus;
    }
    ASSERT_NE(cancel, nullptr) << "Tab reaches Cancel";
    press(Qt::Key_Return);
    settle();
    EXPECT_EQ(screen(), QStringLiteral("main"));
    EXPECT_EQ(state().userData().groups.size(), 1) << "nothing saved";
}

TEST_F(PopoverKeyRouting, ReturnOnAFoldersColourOrVisibilitySavesTheForm)
{
    const QStringList names{QStringLiteral("Blue"), QStringLiteral("Red"), QStringLiteral("Open")};
    for (qsizetype round = 0; round < names.size(); ++round) {
        shell().setScreen(PopoverScreen::main());
        settle();
        press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        auto* form = shown<FolderFormView>();
        ASSERT_NE(form, nullptr);
        type(names.at(round).toLatin1().constData());
        const QList<QAbstractButton*> choices{form->findChild<FlowingSwatches*>()->swatches().at(0),
            form->findChild<FlowingSwatches*>()->swatches().at(3), form->findChildren<VisibilityPill*>().last()};
        // Reached with Tab, as a keyboard user reaches it.
        for (int tabs = 0; tabs < 40 && popover().focusWidget() != choices.at(round); ++tabs)
            press(Qt::Key_Tab);
        ASSERT_EQ(popover().focusWidget(), choices.at(round)) << round;
        press(Qt::Key_Return);
        EXPECT_EQ(screen(), QStringLiteral("main")) << round;
        ASSERT_EQ(state().userData().groups.size(), round + 2) << "Return saved the folder " << round;
    }
}

TEST_F(PopoverKeyRouting, TabTypesInTheExpansionAndCtrlTabLeavesItForTheFormsButtons)
{
    press(Qt::Key_N, Qt::ControlModifier);
    auto* form = shown<ShortcutFormView>();
    ASSERT_NE(form, nullptr);
    type("/t");
    press(Qt::Key_Tab);
    QPlainTextEdit* expansion = form->expansionArea()->editor();
    ASSERT_EQ(popover().focusWidget(), expansion);
    type("a");
    press(Qt::Key_Tab);
    EXPECT_EQ(expansion->toPlainText(), QStringLiteral("a\t")) << "Tab types a tab in a multi-line text";

    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(popover().focusWidget(), form->triggerField()->lineEdit());
    press(Qt::Key_Tab);
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(popover().focusWidget(), form->folderMenu());
    EXPECT_EQ(expansion->toPlainText(), QStringLiteral("a\t"));

    QSet<QWidget*> reached;
    for (int tabs = 0; tabs < 12 && popover().focusWidget() != form->saveButton(); ++tabs) {
        press(Qt::Key_Tab);
        reached.insert(popover().focusWidget());
    }
    EXPECT_TRUE(reached.contains(form->cancelButton()));
    ASSERT_EQ(popover().focusWidget(), form->saveButton());
    press(Qt::Key_Return);
    EXPECT_EQ(screen(), QStringLiteral("main"));
    EXPECT_EQ(state().userData().shortcuts.size(), 2);
}

TEST_F(PopoverKeyRouting, TabReachesTheBadgesAndTheChipsInViewAndReturnOpensTheSheet)
{
    shell().setScreen(PopoverScreen::achievements());
    settle();
    auto* page = shown<AchievementsView>();
    ASSERT_NE(page, nullptr);
    const auto inView = [](const QWidget* widget) { return !widget->visibleRegion().isEmpty(); };
    BadgeCard* card = nullptr;
    for (int tabs = 0; tabs < 60; ++tabs) {
        press(Qt::Key_Tab);
        QWidget* focus = popover().focusWidget();
        ASSERT_NE(focus, nullptr);
        if (qobject_cast<FilterChip*>(focus) || qobject_cast<BadgeCard*>(focus)) {
            EXPECT_TRUE(inView(focus)) << focus->metaObject()->className() << " got the keyboard out of view";
        }
        if (auto* reached = qobject_cast<BadgeCard*>(focus); reached && page->cards().indexOf(reached) > 6)
            card = reached;
        if (card)
            break;
    }
    ASSERT_NE(card, nullptr) << "Tab reaches the badges";
    press(Qt::Key_Return);
    ASSERT_EQ(page->detailId(), card->achievement().id);
    // The sheet keeps the keyboard, and gives it back to the badge when it closes.
    const QWidget* sheet = page->detailSheet()->parentWidget();
    for (const int key : {int(Qt::Key_Tab), int(Qt::Key_Tab), int(Qt::Key_Backtab), int(Qt::Key_Backtab)}) {
        press(key);
        EXPECT_TRUE(popover().focusWidget() == sheet || sheet->isAncestorOf(popover().focusWidget()));
    }
    press(Qt::Key_Escape);
    EXPECT_FALSE(page->detailId());
    EXPECT_EQ(popover().focusWidget(), card);
    EXPECT_EQ(screen(), QStringLiteral("achievements"));

    // Back to a chip from far down the page: it scrolls into view as it gets the keyboard.
    for (int tabs = 0; tabs < 80 && !qobject_cast<FilterChip*>(popover().focusWidget()); ++tabs)
        press(Qt::Key_Tab);
    auto* chip = qobject_cast<FilterChip*>(popover().focusWidget());
    ASSERT_NE(chip, nullptr);
    EXPECT_TRUE(inView(chip));
    const qsizetype chosen = page->chips().indexOf(chip);
    press(Qt::Key_Return);
    ASSERT_GE(chosen, 0);
    EXPECT_TRUE(page->chips().at(chosen)->isChecked()) << "Return chose the focused filter";
}

TEST_F(PopoverKeyRouting, AppWideCommandsWorkOverAFormAndOnlyCloseAndQuitOverTheChooser)
{
    ASSERT_NE(openChooserOnNewFolder(), nullptr);
    press(Qt::Key_Escape);
    ASSERT_FALSE(shown<FolderFormView>()->showingIconChooser());
    press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(screen(), QStringLiteral("newShortcut"));
    press(Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(posted.count(Notifications::velmoraOpenSettings), 1);

    ASSERT_NE(openChooserOnNewFolder(), nullptr);
    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(popover().isShown());
}

TEST_F(PopoverKeyRouting, NoKeyAndNoStatusMenuEntryReplacesTheScreenUnderTheChooser)
{
    const auto statusEntry = [this](const QString& text) {
        for (QAction* action : delegate->statusMenu()->actions()) {
            if (action->text() == text)
                return action;
        }
        return static_cast<QAction*>(nullptr);
    };
    for (const char* route : {"keys", "status menu", "unlock notice"}) {
        shell().setScreen(PopoverScreen::main());
        settle();
        press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        auto* form = shown<FolderFormView>();
        ASSERT_NE(form, nullptr);
        type("Pets");
        for (auto* button : form->findChildren<QAbstractButton*>()) {
            if (button->accessibleName() == QLatin1String("Choose folder icon"))
                button->click();
        }
        settle();
        const QPointer<IconChooserSheet> chooser = form->findChild<IconChooserSheet*>();
        ASSERT_NE(chooser, nullptr);
        if (QLatin1String(route) == QLatin1String("keys")) {
            press(Qt::Key_N, Qt::ControlModifier);
            press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
            press(Qt::Key_Comma, Qt::ControlModifier);
            press(Qt::Key_F, Qt::ControlModifier);
            press(Qt::Key_Z, Qt::ControlModifier);
        } else if (QLatin1String(route) == QLatin1String("unlock notice")) {
            NotificationCenter::instance().post(Notifications::velmoraOpenAchievements);
            settle();
        } else {
            for (const QString& entry : {QStringLiteral("New Shortcut"), QStringLiteral("New Folder")}) {
                QAction* action = statusEntry(entry);
                ASSERT_NE(action, nullptr) << entry.toStdString();
                action->trigger();
                settle();
            }
            EXPECT_TRUE(popover().isShown());
        }
        EXPECT_EQ(shown<FolderFormView>(), form) << route;
        EXPECT_EQ(form->name(), QStringLiteral("Pets")) << route;
        EXPECT_EQ(form->findChild<IconChooserSheet*>(), chooser.data()) << route;
        EXPECT_EQ(posted.count(Notifications::velmoraOpenSettings), 0) << route;
        EXPECT_TRUE(chooser && (popover().focusWidget() == chooser || chooser->isAncestorOf(popover().focusWidget())))
            << route << ": the keyboard left the chooser";
        press(Qt::Key_Escape);
        ASSERT_FALSE(form->showingIconChooser());
    }
}

TEST_F(PopoverKeyRouting, TheMenuKeyAndShiftF10OpenTheSelectedCardsMenuAndItsEditKeepsItsDraftUnderTheChooser)
{
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
             std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        shell().setScreen(PopoverScreen::main());
        settle();
        state().setSelectedIds({folderId});
        shown<MainListView>()->canvas()->setFocus();
        press(key, modifiers);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << key;
        EXPECT_NE(menu->activeAction(), nullptr) << "opened from the keyboard, an item is highlighted";
        QAction* edit = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == QLatin1String("Edit"))
                edit = action;
        }
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(std::any_of(menu->actions().cbegin(), menu->actions().cend(),
            [](const QAction* action) { return action->text() == QLatin1String("Ungroup"); }));
        menu->setActiveAction(edit);
        QTest::keyClick(menu, Qt::Key_Return);
        settle();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        ASSERT_EQ(screen(), QStringLiteral("editFolder"));
    }

    // Renamed, with the chooser over the form: the keys leave the draft alone.
    auto* form = shown<FolderFormView>();
    type("X");
    const QString draft = form->name();
    ASSERT_TRUE(draft.endsWith(u'X')) << draft.toStdString();
    for (auto* button : form->findChildren<QAbstractButton*>()) {
        if (button->accessibleName() == QLatin1String("Choose folder icon"))
            button->click();
    }
    settle();
    ASSERT_TRUE(form->showingIconChooser());
    press(Qt::Key_N, Qt::ControlModifier);
    press(Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(shown<FolderFormView>(), form);
    EXPECT_EQ(form->name(), draft);
    EXPECT_TRUE(form->showingIconChooser());
}

TEST_F(PopoverKeyRouting, NoKeyReplacesTheAchievementsScreenUnderABadgesSheet)
{
    shell().setScreen(PopoverScreen::achievements());
    settle();
    auto* page = shown<AchievementsView>();
    ASSERT_NE(page, nullptr);
    page->cards().first()->setFocus();
    press(Qt::Key_Return);
    ASSERT_TRUE(page->detailId());
    // The keyboard is on the sheet, which reads as a dialog telling what it shows.
    QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(popover().focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->role(), QAccessible::Dialog);
    const DetailSheet* sheet = page->detailSheet();
    EXPECT_EQ(focused->text(QAccessible::Name), sheet->title());
    EXPECT_TRUE(focused->text(QAccessible::Description).contains(sheet->tierLabel()));
    EXPECT_TRUE(focused->text(QAccessible::Description).contains(sheet->description()));
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::ControlModifier),
             Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier})
        press(Qt::Key_N, modifiers);
    press(Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(shown<AchievementsView>(), page);
    EXPECT_TRUE(page->detailId());
    press(Qt::Key_Escape);
    EXPECT_FALSE(page->detailId());
    press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(screen(), QStringLiteral("newShortcut")) << "with the sheet gone the keys act again";
}

TEST_F(PopoverKeyRouting, TheListsKeysStillActOnTheList)
{
    shell().setFocus();
    press(Qt::Key_Down);
    EXPECT_EQ(state().selectedIds().size(), 1);
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state().selectedIds().size(), 2);
    press(Qt::Key_Escape);
    EXPECT_TRUE(state().selectedIds().isEmpty());
    state().setSelectedIds({shortcutId});
    press(Qt::Key_Return);
    EXPECT_EQ(screen(), QStringLiteral("editShortcut"));
}

TEST_F(PopoverKeyRouting, PasteFromTheListsMenuSaysWhatCtrlVSays)
{
    state().setSelectedIds({shortcutId});
    shell().setFocus();
    press(Qt::Key_C, Qt::ControlModifier);
    press(Qt::Key_V, Qt::ControlModifier);
    const std::optional<QString> byKey = ToastManager::shared().message();
    ASSERT_TRUE(byKey.has_value());
    ToastManager::shared().show(QStringLiteral("before"));

    const std::unique_ptr<QMenu> menu = shown<MainListView>()->buildContextMenu();
    for (QAction* action : menu->actions()) {
        if (action->text() == QLatin1String("Paste"))
            action->trigger();
    }
    EXPECT_EQ(ToastManager::shared().message(), byKey);
    EXPECT_EQ(state().userData().shortcuts.size(), 3);
}

TEST_F(PopoverKeyRouting, TheMenusTriggerTheSameCommandsAsTheKeys)
{
    PopoverCommands& commands = delegate->keyMonitor()->commands();
    const QList<QAction*> status = delegate->statusMenu()->actions();
    EXPECT_TRUE(status.contains(commands.action(PopoverCommands::Command::quit)));

    press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(commands.action(PopoverCommands::Command::paste)->isEnabled()) << "the list is not shown";
    EXPECT_TRUE(commands.action(PopoverCommands::Command::newShortcut)->isEnabled());
}

} // namespace

TEST_F(PopoverKeyRouting, EscapeOnAScreenThatFocusesNothingClosesThePopover)
{
    // The list held the keyboard; the settings screen puts it nowhere itself.
    press(Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_EQ(screen(), QStringLiteral("settings"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(popover().isShown());
}
