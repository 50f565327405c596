#include "LibraryFixtures.h"
#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "Persistence/StorageTestSupport.h"
#include "WidgetLookup.h"

#include "App/State/AppState.h"
#include "Models/VelmoraJSON.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/forms/FolderFormView.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/settings/SettingsView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "Views/MenuBar/shell/StandardScreens.h"
#include "Views/MenuBar/shell/ToastOverlay.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using Kind = PopoverScreen::Kind;

namespace {

// The popover over a real state and store in a temporary folder, shown and active.
class MenuBarPopoverTest : public ::testing::Test {
protected:
    void open()
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        state = std::make_unique<AppState>(*store);
        popover = std::make_unique<MenuBarPopover>(
            *state, PopoverScreen::main(), [this] { ++quits; }, nullptr, &toast);
        popover->setStopSync([this] { ++syncStops; });
        closes = 0;
        NotificationCenter::instance().observe(
            Notifications::velmoraClosePopover, popover.get(), [this](const QVariant&) { ++closes; });
        ASSERT_TRUE(showActive(*popover));
    }

    void openWithLibrary()
    {
        UserData library = UserData::empty();
        library.groups.append(LibraryFixtures::folder(QStringLiteral("F1"), QStringLiteral("Work")));
        library.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("S1"), QStringLiteral("/sig")));
        library.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("S2"), QStringLiteral("/addr")));
        dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library));
        open();
    }

    static void post(const QString& name, const QVariant& object = {})
    {
        NotificationCenter::instance().post(name, object);
    }

    void press(int key)
    {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : popover.get(), Qt::Key(key));
    }

    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    ConfirmationOverlay* question() const { return popover->confirmationOverlay(); }

    ManualScheduler scheduler;
    ManualMotionSettings motion{true};
    ToastManager toast;
    TempDir dir;
    StorageTest::ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MenuBarPopover> popover;
    int quits = 0;
    int syncStops = 0;
    int closes = 0;
};

struct ScreenNotification {
    QString name;
    QString tag;
};

class ScreenNotifications : public MenuBarPopoverTest, public ::testing::WithParamInterface<ScreenNotification> { };

} // namespace

TEST_P(ScreenNotifications, SwitchTheScreen)
{
    open();
    post(GetParam().name);
    EXPECT_EQ(popover->screen().tag(), GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(EachScreenNotification, ScreenNotifications,
    ::testing::Values(ScreenNotification{Notifications::velmoraNewShortcut, QStringLiteral("newShortcut")},
        ScreenNotification{Notifications::velmoraNewFolder, QStringLiteral("newFolder")},
        ScreenNotification{Notifications::velmoraOpenSettings, QStringLiteral("settings")},
        ScreenNotification{Notifications::velmoraOpenAchievements, QStringLiteral("achievements")}));

TEST_F(MenuBarPopoverTest, EditShortcutOpensTheEditorOfTheShortcutItCarries)
{
    openWithLibrary();
    post(Notifications::velmoraEditShortcut, QVariant::fromValue(state->userData().shortcuts.at(1)));
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("editShortcut"));
    ASSERT_NE(popover->screen().shortcut(), nullptr);
    EXPECT_EQ(popover->screen().shortcut()->trigger, QStringLiteral("/addr"));
}

TEST_F(MenuBarPopoverTest, EditShortcutWithoutAShortcutChangesNothing)
{
    openWithLibrary();
    post(Notifications::velmoraEditShortcut, QVariant::fromValue(state->userData().groups.first()));
    post(Notifications::velmoraEditShortcut, QStringLiteral("S1"));
    post(Notifications::velmoraEditShortcut);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
}

TEST_F(MenuBarPopoverTest, OtherNotificationsLeaveTheScreen)
{
    open();
    post(Notifications::velmoraFocusSearch);
    post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::down));
    post(Notifications::velmoraDismissOverlays);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
}

TEST_F(MenuBarPopoverTest, ResetToMainClearsTheListStateButKeepsAPendingQuestion)
{
    openWithLibrary();
    post(Notifications::velmoraOpenSettings);
    state->setCurrentGroupId(QStringLiteral("F1"));
    state->setSearchQuery(QStringLiteral("sig"));
    state->setReviewingDuplicateShortcuts(true);
    state->setSelectedIds({QStringLiteral("S1")});
    state->deleteShortcut(QStringLiteral("S1"));
    ASSERT_NE(question(), nullptr);

    post(Notifications::velmoraResetToMain);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_FALSE(state->currentGroupId());
    EXPECT_TRUE(state->searchQuery().isEmpty());
    EXPECT_FALSE(state->reviewingDuplicateShortcuts());
    EXPECT_TRUE(state->selectedIds().isEmpty());
    EXPECT_TRUE(state->pendingConfirmation());
    EXPECT_NE(question(), nullptr);
}

TEST_F(MenuBarPopoverTest, IsThreeFortyWideAndGrowsAtOnceWithFullHeight)
{
    open();
    EXPECT_EQ(popover->size(), QSize(340, 560));
    state->updateSettings([](AppSettings& s) { s.fullHeight = true; });
    EXPECT_EQ(popover->size(), QSize(340, 800));
    EXPECT_EQ(popover->content()->size(), QSize(340, 800));
    state->updateSettings([](AppSettings& s) { s.fullHeight = false; });
    EXPECT_EQ(popover->size(), QSize(340, 560));
}

TEST_F(MenuBarPopoverTest, AScreenChangeIsReportedOncePerKindOfScreen)
{
    openWithLibrary();
    QSignalSpy changes(popover.get(), &MenuBarPopover::screenChanged);
    post(Notifications::velmoraNewShortcut);
    EXPECT_EQ(changes.size(), 1);

    post(Notifications::velmoraEditShortcut, QVariant::fromValue(state->userData().shortcuts.at(0)));
    QWidget* firstEditor = popover->currentScreenWidget();
    post(Notifications::velmoraEditShortcut, QVariant::fromValue(state->userData().shortcuts.at(1)));
    EXPECT_EQ(changes.size(), 2);
    EXPECT_NE(popover->currentScreenWidget(), firstEditor) << "another shortcut's editor is a new screen";
    EXPECT_EQ(popover->screen().shortcut()->id, QStringLiteral("S2"));

    popover->setScreen(PopoverScreen::main());
    QWidget* list = popover->currentScreenWidget();
    popover->setScreen(PopoverScreen::main());
    EXPECT_EQ(changes.size(), 3);
    EXPECT_EQ(popover->currentScreenWidget(), list);
}

TEST_F(MenuBarPopoverTest, TheAccountScreenWithoutAnAccountServiceShowsTheMainScreen)
{
    open();
    popover->setScreen(PopoverScreen::account());
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("account"));
    EXPECT_NE(qobject_cast<MainListView*>(popover->currentScreenWidget()), nullptr);
}

TEST_F(MenuBarPopoverTest, OpenSettingsShowsTheSettingsScreen)
{
    open();
    post(Notifications::velmoraOpenSettings);
    EXPECT_NE(qobject_cast<SettingsView*>(popover->currentScreenWidget()), nullptr);
}

TEST_F(MenuBarPopoverTest, EachKindOfScreenIsBuiltByItsFactoryAndLeavesThroughItsBinding)
{
    open();
    PopoverScreens screens = standardPopoverScreens();
    screens.add(Kind::settings, [](const PopoverScreenContext& context) {
        auto* screen = new QWidget;
        screen->setObjectName(QStringLiteral("settings screen"));
        auto* back = new QPushButton(QStringLiteral("Back"), screen);
        (new QVBoxLayout(screen))->addWidget(back);
        QObject::connect(
            back, &QPushButton::clicked, screen, [binding = context.binding] { binding.set(PopoverScreen::main()); });
        return screen;
    });
    popover->setScreens(screens);
    post(Notifications::velmoraOpenSettings);
    QWidget* settings = popover->currentScreenWidget();
    ASSERT_EQ(settings->objectName(), QStringLiteral("settings screen"));

    // The screen leaves from inside its own click: it goes only once the click is over.
    QTest::mouseClick(visibleButton(settings, QStringLiteral("Back")), Qt::LeftButton);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_NE(qobject_cast<MainListView*>(popover->currentScreenWidget()), nullptr);
    settle();
}

TEST_F(MenuBarPopoverTest, TheFolderEditorOpensForNewAndEditedFoldersAndLeavesWithReturnOrEscape)
{
    open();
    post(Notifications::velmoraNewFolder);
    QApplication::processEvents();
    auto* created = qobject_cast<FolderFormView*>(popover->currentScreenWidget());
    ASSERT_NE(created, nullptr);
    EXPECT_FALSE(created->isEditing());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Work"));
    press(Qt::Key_Return);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    ASSERT_EQ(state->userData().groups.size(), 1);
    settle();

    popover->setScreen(PopoverScreen::editFolder(state->userData().groups.first()));
    QApplication::processEvents();
    auto* edited = qobject_cast<FolderFormView*>(popover->currentScreenWidget());
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->name(), QStringLiteral("Work"));
    press(Qt::Key_Escape);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_EQ(closes, 0);
    settle();
}

TEST_F(MenuBarPopoverTest, ScreensCanQuitThroughTheActionTheyAreGiven)
{
    open();
    PopoverScreens screens = standardPopoverScreens();
    screens.add(Kind::settings, [](const PopoverScreenContext& context) {
        context.commands.trigger(PopoverCommands::Command::quit);
        return new QWidget;
    });
    popover->setScreens(screens);
    EXPECT_EQ(quits, 0);
    post(Notifications::velmoraOpenSettings);
    EXPECT_EQ(quits, 1);
}

TEST_F(MenuBarPopoverTest, EscapeClosesThePopoverWhenNothingIsAsked)
{
    open();
    press(Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
}

TEST_F(MenuBarPopoverTest, EscapeCancelsAQuestionFirstAndKeepsTheSelection)
{
    openWithLibrary();
    state->setSelectedIds({QStringLiteral("S1")});
    state->deleteShortcut(QStringLiteral("S1"));
    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->request().title, QStringLiteral("Delete shortcut?"));

    press(Qt::Key_Escape);
    EXPECT_EQ(closes, 0);
    EXPECT_FALSE(state->pendingConfirmation());
    EXPECT_EQ(question(), nullptr);
    EXPECT_EQ(state->userData().shortcuts.size(), 2);
    EXPECT_EQ(state->selectedIds(), QSet<QString>{QStringLiteral("S1")});

    press(Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
}

TEST_F(MenuBarPopoverTest, ReturnConfirmsRunsTheActionAndEmptiesTheSelection)
{
    openWithLibrary();
    state->setSelectedIds({QStringLiteral("S2")});
    state->deleteShortcut(QStringLiteral("S1"));
    scheduler.advance(0.05);
    EXPECT_TRUE(question()->confirmButton()->hasFocus());
    press(Qt::Key_Return);
    EXPECT_FALSE(state->pendingConfirmation());
    EXPECT_EQ(state->userData().shortcuts.size(), 1);
    EXPECT_TRUE(state->selectedIds().isEmpty());
    settle();
    EXPECT_EQ(question(), nullptr);
}

TEST_F(MenuBarPopoverTest, ClickingAnswersTheQuestion)
{
    openWithLibrary();
    state->deleteShortcut(QStringLiteral("S1"));
    QTest::mouseClick(question(), Qt::LeftButton, Qt::NoModifier, QPoint(12, 12));
    EXPECT_FALSE(state->pendingConfirmation());
    EXPECT_EQ(state->userData().shortcuts.size(), 2);

    state->deleteShortcut(QStringLiteral("S1"));
    QTest::mouseClick(question()->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(state->userData().shortcuts.size(), 1);
}

TEST_F(MenuBarPopoverTest, AnActionThatAsksAgainLeavesTheNewQuestionUp)
{
    open();
    state->requestConfirmation(
        {QStringLiteral("First?"), std::nullopt, QStringLiteral("Go"), std::nullopt, false, [this] {
             state->requestConfirmation(
                 {QStringLiteral("Second?"), std::nullopt, QStringLiteral("Go"), std::nullopt, false, {}});
         }});
    press(Qt::Key_Return);
    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->request().title, QStringLiteral("Second?"));
    EXPECT_TRUE(state->pendingConfirmation());
}

TEST_F(MenuBarPopoverTest, TheQuestionLiesAboveTheScreenAndTheToasts)
{
    open();
    toast.show(QStringLiteral("Copied"));
    state->deleteGroup(QStringLiteral("none"));
    const QObjectList layers = popover->content()->children();
    EXPECT_GT(layers.indexOf(question()), layers.indexOf(popover->toastOverlay()));
    EXPECT_GT(layers.indexOf(question()), layers.indexOf(popover->currentScreenWidget()->parent()));
    EXPECT_EQ(question()->geometry(), popover->content()->rect());
}

TEST_F(MenuBarPopoverTest, FocusReturnsWhereItWasWhenTheQuestionGoes)
{
    open();
    auto* field = new QPushButton(QStringLiteral("field"), popover->currentScreenWidget());
    field->show();
    field->setFocus();
    state->deleteGroup(QStringLiteral("none"));
    EXPECT_FALSE(field->hasFocus());
    press(Qt::Key_Escape);
    EXPECT_TRUE(field->hasFocus());
}

TEST_F(MenuBarPopoverTest, UnreadableStorageShowsOnlyTheRecoveryScreen)
{
    dir.write(QStringLiteral("data.json"), "{\"shortcuts\": [");
    open();
    ASSERT_FALSE(state->storageReady());
    ASSERT_NE(popover->recoveryView(), nullptr);
    EXPECT_TRUE(popover->recoveryView()->isVisible());
    EXPECT_EQ(popover->recoveryView()->geometry(), popover->rect());
    EXPECT_FALSE(popover->content()->isEnabled());
    EXPECT_TRUE(popover->recoveryView()->isEnabled());
    EXPECT_TRUE(popover->recoveryView()->isAncestorOf(QApplication::focusWidget())
        || QApplication::focusWidget() == popover->recoveryView());

    toast.show(QStringLiteral("Copied"));
    EXPECT_TRUE(toast.isShowing());
    EXPECT_FALSE(popover->toastOverlay()->isVisible());

    press(Qt::Key_Escape);
    EXPECT_EQ(closes, 0);
}

TEST_F(MenuBarPopoverTest, TheRecoveryScreenTakesTheKeyboardAsADialogNamedByItsHeading)
{
    dir.write(QStringLiteral("data.json"), "{\"shortcuts\": [");
    open();
    QApplication::processEvents();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(focus);
    ASSERT_NE(focused, nullptr);
    EXPECT_FALSE(focused->text(QAccessible::Name).isEmpty()) << focus->metaObject()->className();
    QAccessibleInterface* screen = QAccessible::queryAccessibleInterface(popover->recoveryView());
    EXPECT_EQ(screen->role(), QAccessible::Dialog);
    const auto* heading = popover->recoveryView()->findChild<ThemedLabel*>();
    ASSERT_NE(heading, nullptr);
    for (const ThemedLabel* label : popover->recoveryView()->findChildren<ThemedLabel*>()) {
        if (label->isHeading())
            heading = label;
    }
    EXPECT_EQ(screen->text(QAccessible::Name), heading->text());
    EXPECT_FALSE(screen->text(QAccessible::Description).isEmpty());
}

TEST_F(MenuBarPopoverTest, RestoringABackupReopensTheLibraryAndBringsTheLayersBack)
{
    dir.write(QStringLiteral("data.json"), "[");
    dir.write(QStringLiteral("data.json.backup"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("saved"))));
    open();
    StorageRecoveryView* recovery = popover->recoveryView();
    QTest::mouseClick(visibleButton(recovery, QStringLiteral("Restore library backup")), Qt::LeftButton);
    QTest::mouseClick(recovery->questionOverlay()->confirmButton(), Qt::LeftButton);

    EXPECT_TRUE(state->storageReady());
    EXPECT_EQ(state->userData().shortcuts.first().expansion, QStringLiteral("saved"));
    EXPECT_EQ(popover->recoveryView(), nullptr);
    EXPECT_TRUE(popover->content()->isEnabled());
    EXPECT_TRUE(popover->toastOverlay()->isVisible());
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    settle();
}

TEST_F(MenuBarPopoverTest, AFreshStartPausesSyncReopensAndOpensTheAccountScreen)
{
    dir.write(QStringLiteral("data.json"), "[");
    open();
    QTest::mouseClick(
        visibleButton(popover->recoveryView(), QStringLiteral("Save a copy and start fresh")), Qt::LeftButton);
    QTest::mouseClick(popover->recoveryView()->questionOverlay()->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(syncStops, 1);
    EXPECT_TRUE(state->storageReady());
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("account"));
    EXPECT_EQ(popover->recoveryView(), nullptr);
    settle();
}

TEST_F(MenuBarPopoverTest, AFailedWriteBringsUpTheRecoveryScreen)
{
    openWithLibrary();
    ASSERT_EQ(popover->recoveryView(), nullptr);
    writer.fails = [](const QString&) { return true; };
    state->addShortcut(QStringLiteral("/new"), QStringLiteral("text"), std::nullopt);
    EXPECT_FALSE(state->storageReady());
    ASSERT_NE(popover->recoveryView(), nullptr);
    EXPECT_FALSE(popover->content()->isEnabled());

    writer.fails = [](const QString&) { return false; };
    QTest::mouseClick(visibleButton(popover->recoveryView(), QStringLiteral("Try reading again")), Qt::LeftButton);
    EXPECT_TRUE(state->storageReady());
    EXPECT_EQ(popover->recoveryView(), nullptr);
    settle();
}
