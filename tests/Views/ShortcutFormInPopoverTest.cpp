#include "LibraryFixtures.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "Persistence/StorageTestSupport.h"

#include "App/State/AppState.h"
#include "Services/TutorialManager.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/GlassTextArea.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The form as the popover shows it: opened by the screen notifications, leaving through
// the popover's screen switch, which reports every change to the tutorial.
class ShortcutFormInPopoverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        state = std::make_unique<AppState>(*store);
        AppState::setShared(state.get());
        popover = std::make_unique<MenuBarPopover>(
            *state, PopoverScreen::main(), [] {}, nullptr, &toast);
        ASSERT_TRUE(showActive(*popover));
    }

    void TearDown() override
    {
        popover.reset();
        TutorialManager::shared().skip();
        AppState::setShared(nullptr);
    }

    // The screen built for the last switch, once it is on screen.
    ShortcutFormView* form()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        return qobject_cast<ShortcutFormView*>(popover->currentScreenWidget());
    }

    static void newShortcut() { NotificationCenter::instance().post(Notifications::velmoraNewShortcut); }

    ManualScheduler scheduler;
    ToastManager toast;
    TempDir dir;
    StorageTest::ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MenuBarPopover> popover;
};

} // namespace

TEST_F(ShortcutFormInPopoverTest, NewAndEditShowTheFormAndSavingReturnsToTheList)
{
    newShortcut();
    ShortcutFormView* created = form();
    ASSERT_NE(created, nullptr);
    EXPECT_FALSE(created->editing());
    QTest::keyClicks(created->triggerField()->lineEdit(), QStringLiteral("/sig"));
    QTest::keyClicks(created->expansionArea()->editor(), QStringLiteral("Best regards"));
    QTest::keyClick(created->triggerField()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    ASSERT_EQ(state->userData().shortcuts.size(), 1);

    NotificationCenter::instance().post(
        Notifications::velmoraEditShortcut, QVariant::fromValue(state->userData().shortcuts.first()));
    ShortcutFormView* edited = form();
    ASSERT_NE(edited, nullptr);
    ASSERT_TRUE(edited->editing());
    EXPECT_EQ(edited->triggerField()->text(), QStringLiteral("/sig"));
    QTest::keyClick(edited->expansionArea()->editor(), Qt::Key_Escape);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
}

TEST_F(ShortcutFormInPopoverTest, TheTutorialMovesToTheFormAndOnPastItsSaveStep)
{
    TutorialManager& tutorial = TutorialManager::shared();
    tutorial.start();
    tutorial.next();
    tutorial.next();
    ASSERT_EQ(tutorial.step().targetId, QStringLiteral("addButton"));
    newShortcut();
    EXPECT_EQ(tutorial.step().targetId, QStringLiteral("triggerField"));
    ShortcutFormView* example = form();
    ASSERT_NE(example, nullptr);
    EXPECT_EQ(example->triggerField()->text(), QStringLiteral("/hello"));

    tutorial.next();
    tutorial.next();
    ASSERT_EQ(tutorial.step().targetId, QStringLiteral("saveButton"));
    QTest::mouseClick(example->saveButton(), Qt::LeftButton);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_TRUE(tutorial.isActive());
    EXPECT_EQ(tutorial.savedTrigger(), QStringLiteral("/hello"));
}

TEST_F(ShortcutFormInPopoverTest, SavingBeforeTheSaveStepCountsAsTheSaveStep)
{
    TutorialManager& tutorial = TutorialManager::shared();
    tutorial.start();
    tutorial.next();
    tutorial.next();
    newShortcut();
    ShortcutFormView* example = form();
    ASSERT_NE(example, nullptr);
    QTest::mouseClick(example->saveButton(), Qt::LeftButton);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_EQ(state->userData().shortcuts.size(), 1);
    EXPECT_TRUE(tutorial.isActive());
    EXPECT_EQ(tutorial.currentStep(), 6);
}
