#include "AppShellFixture.h"

#include "platform/linux/WaylandWindowEffects.h"

#include <QApplication>

namespace {

// The application with its default settings on a Wayland session, where the compositor gives
// every new window the keyboard: an expansion in another application, which shows the time
// saved and earns an achievement, must not bring up a window of the window system's.
class WindowsOnWayland : public AppShellFixture {
protected:
    void SetUp() override
    {
        WindowEffects::setCurrent(&wayland);
        before = QApplication::topLevelWidgets();
        launchAndSettle();
        NotificationCenter::instance().post(Notifications::velmoraClosePopover);
    }
    void TearDown() override { WindowEffects::setCurrent(nullptr); }

    // The windows shown that the window system was asked to show (not only drawn elsewhere),
    // but for those earlier tests left.
    QWidgetList systemWindows() const
    {
        QWidgetList shown;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && !window->testAttribute(Qt::WA_DontShowOnScreen) && !before.contains(window))
                shown.append(window);
        }
        return shown;
    }

    WaylandWindowEffects wayland;
    QWidgetList before;
};

} // namespace

TEST_F(WindowsOnWayland, AnExpansionThatEarnsAnAchievementBringsUpNoWindow)
{
    ASSERT_TRUE(systemWindows().isEmpty());
    ASSERT_TRUE(state().settings().showTimeSavedAnimation);
    ASSERT_TRUE(state().settings().showAchievementToast);
    state().recordExpansion(QStringLiteral("/sig"), 40);
    scheduler.runDue();
    EXPECT_TRUE(state().stats().unlocked.contains(QStringLiteral("volume_1")));
    EXPECT_TRUE(systemWindows().isEmpty());
    scheduler.advance(10);
    EXPECT_TRUE(systemWindows().isEmpty());
}
