#include "ManualScheduler.h"
#include "Painting.h"
#include "Persistence/StorageTestSupport.h"

#include "App/AppState.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/MenuBar/ConfirmationOverlay.h"
#include "Views/MenuBar/FolderFormView.h"
#include "Views/MenuBar/MenuBarPopover.h"
#include "Views/MenuBar/StorageRecoveryView.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The folder editor as the popover shows it: opened by "velmoraNewFolder" or an edit-folder
// screen, leaving through the popover's screen switch.
class FolderFormInPopoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        state = std::make_unique<AppState>(*store);
        popover = std::make_unique<MenuBarPopover>(*state, PopoverScreen::main(), [] {}, nullptr, &toast);
        NotificationCenter::instance().observe(Notifications::velmoraClosePopover, popover.get(),
                                               [this](const QVariant&) { ++closes; });
        ASSERT_TRUE(showActive(*popover));
    }

    // The screen built for the last switch, once it is on screen.
    FolderFormView* form()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        return qobject_cast<FolderFormView*>(popover->currentScreenWidget());
    }

    ManualScheduler scheduler;
    ToastManager toast;
    TempDir dir;
    StorageTest::ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MenuBarPopover> popover;
    int closes = 0;
};

} // namespace

TEST_F(FolderFormInPopoverTest, NewFolderShowsTheFormAndReturnSavesBackToTheList)
{
    NotificationCenter::instance().post(Notifications::velmoraNewFolder);
    FolderFormView* created = form();
    ASSERT_NE(created, nullptr);
    EXPECT_FALSE(created->isEditing());
    ASSERT_TRUE(QApplication::focusWidget());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    ASSERT_EQ(state->userData().groups.size(), 1);
    EXPECT_EQ(ToastManager::shared().message(), QStringLiteral("Folder created"));
}

TEST_F(FolderFormInPopoverTest, EditFolderShowsTheFolderAndEscapeLeavesTheFormNotThePopover)
{
    ASSERT_TRUE(state->addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt,
                                QStringLiteral("private")));
    popover->setScreen(PopoverScreen::editFolder(state->userData().groups.first()));
    FolderFormView* edited = form();
    ASSERT_NE(edited, nullptr);
    ASSERT_TRUE(edited->isEditing());
    EXPECT_EQ(edited->name(), QStringLiteral("Work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_EQ(closes, 0);
}
