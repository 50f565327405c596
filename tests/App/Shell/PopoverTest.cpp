#include "App/Shell/PopoverKeyHandler.h"
#include "App/Shell/StatusItem.h"
#include "AppShellFixture.h"
#include "LibraryFixtures.h"

#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr InputEventTypes mouseDowns = InputEventType::buttonPress;

// Popover content with a text field, standing in for the popover's screens.
struct FieldContent {
    QPointer<QLineEdit> field;
    QPointer<QPushButton> button;
    int buttonPresses = 0;

    // The keyboard goes to the content itself, as the popover's screens do when no field is
    // being edited (else the window would hand it to the field when it becomes active).
    void leaveField() { field->parentWidget()->setFocus(); }

    AppDelegate::ContentFactory factory()
    {
        return [this](QWidget* window, AppState&, PopoverCommands&) {
            auto* content = new QWidget(window);
            auto* layout = new QVBoxLayout(content);
            field = new QLineEdit(content);
            layout->addWidget(field);
            button = new QPushButton(QStringLiteral("Save"), content);
            QObject::connect(button, &QPushButton::clicked, content, [this] { ++buttonPresses; });
            layout->addWidget(button);
            layout->addStretch();
            return content;
        };
    }
};

class Popover : public AppShellFixture {
protected:
    void writeLibraryWithOneShortcut()
    {
        UserData library = UserData::empty();
        library.shortcuts
            = {LibraryFixtures::shortcut(QStringLiteral("00000000-0000-4000-8000-000000000001"), QStringLiteral("/a"))};
        writeLibrary(library);
    }

    void clickAt(const QPoint& global)
    {
        QCursor::setPos(global);
        InputEvent click;
        click.type = InputEventType::buttonPress;
        mouse.deliver(click);
    }

    QPoint outside() { return popover().geometry().bottomRight() + QPoint(50, 50); }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(popover().windowHandle(), Qt::Key(key), modifiers);
    }

    PostedNotifications posted;
};

TEST_F(Popover, OpensByItselfOnTheTurnAfterTheStart)
{
    launch();
    EXPECT_FALSE(popover().isShown());
    scheduler.runDue();
    EXPECT_TRUE(popover().isShown());
    EXPECT_EQ(posted.count(Notifications::velmoraResetToMain), 0) << "the first opening has no close time";
}

TEST_F(Popover, TheTrayItemTogglesIt)
{
    launchAndSettle();
    delegate->togglePopover();
    EXPECT_FALSE(popover().isShown());
    delegate->togglePopover();
    EXPECT_TRUE(popover().isShown());
}

TEST_F(Popover, ReopeningWithinSixtySecondsKeepsTheScreenAndLaterGoesBackToTheList)
{
    launchAndSettle();
    delegate->closePopover();
    scheduler.advance(60);
    delegate->showPopover();
    EXPECT_EQ(posted.count(Notifications::velmoraResetToMain), 0);

    delegate->closePopover();
    scheduler.advance(60.001);
    delegate->showPopover();
    EXPECT_EQ(posted.count(Notifications::velmoraResetToMain), 1);
}

TEST_F(Popover, ClosingRecordsTheTimeDropsAQuestionAndDismissesOverlays)
{
    launchAndSettle();
    bool answered = false;
    state().requestConfirmation(ConfirmationRequest{QStringLiteral("Delete?"), std::nullopt, QStringLiteral("Delete"),
        std::nullopt, true, [&] { answered = true; }});
    scheduler.advance(5);
    delegate->closePopover();

    EXPECT_EQ(state().lastPopoverCloseAt, clock.now());
    EXPECT_FALSE(state().pendingConfirmation().has_value());
    EXPECT_FALSE(answered);
    EXPECT_EQ(posted.count(Notifications::velmoraDismissOverlays), 1);
}

TEST_F(Popover, AClickElsewhereClosesItAndAClickInsideDoesNot)
{
    launchAndSettle();
    scheduler.runDue();
    ASSERT_TRUE(delegate->isOutsideClickMonitorInstalled());
    EXPECT_EQ(mouse.types(), mouseDowns);

    clickAt(popover().geometry().center());
    EXPECT_TRUE(popover().isShown());

    clickAt(outside());
    EXPECT_FALSE(popover().isShown());
    EXPECT_FALSE(mouse.isInstalled()) << "the watch ends with the popover";
}

TEST_F(Popover, TheTrayClickThatClosedItDoesNotReopenIt)
{
    launchAndSettle();
    scheduler.runDue();
    clickAt(outside());
    ASSERT_FALSE(popover().isShown());

    scheduler.advance(0.2);
    delegate->togglePopover();
    EXPECT_FALSE(popover().isShown());

    scheduler.advance(0.5);
    delegate->togglePopover();
    EXPECT_TRUE(popover().isShown());
}

TEST_F(Popover, ItClosesWhenTheTutorialAsksAndOpensForAchievements)
{
    launchAndSettle();
    NotificationCenter::instance().post(Notifications::velmoraClosePopover);
    EXPECT_FALSE(popover().isShown());

    scheduler.advance(90);
    NotificationCenter::instance().post(Notifications::velmoraOpenAchievements);
    EXPECT_TRUE(popover().isShown());
    EXPECT_EQ(posted.count(Notifications::velmoraResetToMain), 0) << "only the tray item's opening resets";
}

TEST_F(Popover, ASecondStartShowsIt)
{
    launchAndSettle();
    delegate->closePopover();
    EXPECT_TRUE(delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(popover().isShown());
}

TEST_F(Popover, WithoutATrayGeometryItOpensUnderThePointer)
{
    QCursor::setPos(QPoint(300, 10));
    launchAndSettle();
    EXPECT_EQ(popover().geometry(), QRect(QPoint(300 - 170, 10 + 1 + PopoverWindow::gap), QSize(340, 560)));
}

// ---------------------------------------------------------------- placement

TEST(PopoverPlacement, AnIconTheTrayHasNotPlacedYetIsNoAnchor)
{
    // Just after start-up an XEmbed tray's icon is still at the screen's origin.
    EXPECT_TRUE(StatusItem::anchorFrom(QRect(0, 0, 22, 22)).isEmpty());
    EXPECT_TRUE(StatusItem::anchorFrom(QRect()).isEmpty());
    EXPECT_EQ(StatusItem::anchorFrom(QRect(1000, 0, 22, 22)), QRect(1000, 0, 22, 22));
}

TEST(PopoverPlacement, CentredUnderTheTrayItem)
{
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(PopoverWindow::placement(QRect(1000, 0, 24, 24), QSize(340, 560), screen),
        QRect(1011 - 170, 24 + PopoverWindow::gap, 340, 560));
}

TEST(PopoverPlacement, AboveATrayAtTheBottomOfTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QRect placed = PopoverWindow::placement(QRect(1800, 1050, 24, 24), QSize(340, 560), screen);
    EXPECT_EQ(placed.bottom(), 1050 - 1 - PopoverWindow::gap);
    EXPECT_EQ(placed.right(), screen.right()) << "kept on the screen";
}

TEST(PopoverPlacement, KeptOnTheScreenWhenNeitherSideFits)
{
    const QRect screen(0, 0, 1280, 700);
    const QRect placed = PopoverWindow::placement(QRect(5, 300, 24, 24), QSize(340, 560), screen);
    EXPECT_EQ(placed.left(), 0);
    EXPECT_EQ(placed.bottom(), screen.bottom());
}

// ---------------------------------------------------------------- keyboard

TEST_F(Popover, LibraryShortcutsActWhileNoTextIsEdited)
{
    writeLibrary([] {
        UserData library = UserData::empty();
        library.shortcuts
            = {LibraryFixtures::shortcut(QStringLiteral("00000000-0000-4000-8000-000000000001"), QStringLiteral("/a")),
                LibraryFixtures::shortcut(
                    QStringLiteral("00000000-0000-4000-8000-000000000002"), QStringLiteral("/b"), std::nullopt, 1)};
        return library;
    }());
    FieldContent content;
    launchAndSettle(content.factory());
    content.leaveField();

    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state().selectedIds().size(), 2);
    press(Qt::Key_Escape);
    EXPECT_TRUE(state().selectedIds().isEmpty());
    EXPECT_TRUE(popover().isShown());
}

TEST_F(Popover, WhileAFieldIsEditedItsKeysGoToTheField)
{
    writeLibraryWithOneShortcut();
    FieldContent content;
    launchAndSettle(content.factory());
    content.field->setFocus();
    content.field->setText(QStringLiteral("hello"));
    ASSERT_TRUE(delegate->keyMonitor()->isEditingText());

    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(state().selectedIds().isEmpty());
    EXPECT_EQ(content.field->selectedText(), QStringLiteral("hello"));

    press(Qt::Key_Escape);
    EXPECT_FALSE(delegate->keyMonitor()->isEditingText()) << "Escape ends editing";
    EXPECT_TRUE(popover().isShown());
}

TEST_F(Popover, AFocusedButtonKeepsReturnForItself)
{
    writeLibraryWithOneShortcut();
    FieldContent content;
    launchAndSettle(content.factory());
    state().selectAll();
    content.button->setFocus();
    ASSERT_TRUE(delegate->keyMonitor()->isEditingText());
    QObject context;
    int editRequests = 0;
    NotificationCenter::instance().observe(
        Notifications::velmoraEditShortcut, &context, [&](const QVariant&) { ++editRequests; });
    press(Qt::Key_Space);
    EXPECT_EQ(content.buttonPresses, 1);
    press(Qt::Key_Return);
    EXPECT_EQ(editRequests, 0) << "Return belongs to the focused button, not to the list's selection";
    EXPECT_EQ(content.buttonPresses, 2) << "and presses it, as Space does";
}

TEST_F(Popover, CtrlWClosesItAndCtrlQQuits)
{
    FieldContent content;
    launchAndSettle(content.factory());
    content.field->setFocus();

    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(popover().isShown());

    delegate->showPopover();
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(terminations, 1);
}

TEST_F(Popover, NoShortcutActsWhileStorageIsNotReady)
{
    dir.write(QStringLiteral("data.json"), "not json");
    FieldContent content;
    launchAndSettle(content.factory());
    content.leaveField();

    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(popover().isShown());
    press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(posted.count(Notifications::velmoraNewShortcut), 0);
}

} // namespace
