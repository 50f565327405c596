#include "AccountFixture.h"
#include "Painting.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QApplication>

namespace {

// The account screen inside the popover, where keys arrive through the popover's own handling.
class AccountInPopoverTest : public AccountFixture {
protected:
    void SetUp() override
    {
        AccountFixture::SetUp();
        popover = std::make_unique<MenuBarPopover>(
            *computer.state, PopoverScreen::main(), [] {}, nullptr, &toast);
        popover->setAccountServices(services);
        popover->setScreen(PopoverScreen::account());
        ASSERT_TRUE(showActive(*popover));
        connect();
    }

    void TearDown() override
    {
        popover.reset();
        AccountFixture::TearDown();
    }

    void connect()
    {
        QObject::connect(&NotificationCenter::instance(), &NotificationCenter::posted, popover.get(),
            [this](const QString& name, const QVariant&) { posted.append(name); });
    }

    AccountView* screen() const { return qobject_cast<AccountView*>(popover->currentScreenWidget()); }

    void escape()
    {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : popover.get(), Qt::Key_Escape);
    }

    ToastManager toast;
    std::unique_ptr<MenuBarPopover> popover;
    QStringList posted;
};

TEST_F(AccountInPopoverTest, TheAccountScreenIsBuiltOnTheGivenObjects)
{
    ASSERT_NE(screen(), nullptr);
    EXPECT_NE(screen()->welcome(), nullptr);
}

TEST_F(AccountInPopoverTest, EscapeClosesTheReviewAndLeavesThePopoverOpen)
{
    signIn();
    sync->run();
    ASSERT_TRUE(settle());
    ASSERT_NE(screen()->reviewOverlay(), nullptr);

    escape();

    EXPECT_FALSE(sync->review());
    EXPECT_FALSE(posted.contains(Notifications::velmoraClosePopover));
    EXPECT_EQ(popover->screen().kind(), PopoverScreen::Kind::account);
}

TEST_F(AccountInPopoverTest, EscapeWithNothingToCloseClosesThePopover)
{
    escape();

    EXPECT_TRUE(posted.contains(Notifications::velmoraClosePopover));
}

} // namespace
