#include "AppShellFixture.h"

#include "Services/TutorialManager.h"
#include "Views/MenuBar/achievements/AchievementUnlockToast.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"
#include "Views/TimeSavedFloater.h"
#include "platform/linux/WaylandWindowEffects.h"

#include <QApplication>
#include <QSettings>

namespace {

// The application with its default settings on a Wayland session, where the compositor gives
// every new window the keyboard: while the user types in another application, no window of
// ours may appear by itself.
class WindowsOnWayland : public AppShellFixture {
protected:
    void SetUp() override
    {
        QSettings().remove(QLatin1String(TutorialManager::storageKey));
        WindowEffects::setCurrent(&wayland);
        launchAndSettle();
        NotificationCenter::instance().post(Notifications::velmoraClosePopover);
        ASSERT_TRUE(shownWindows().isEmpty());
    }
    void TearDown() override
    {
        TutorialManager::shared().skip();
        WindowEffects::setCurrent(nullptr);
    }

    static QWidgetList shownWindows()
    {
        QWidgetList shown;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                shown.append(window);
        }
        return shown;
    }

    WaylandWindowEffects wayland;
};

} // namespace

TEST_F(WindowsOnWayland, AnExpansionThatEarnsAnAchievementIsCountedWithoutAnyWindow)
{
    ASSERT_TRUE(state().settings().showTimeSavedAnimation);
    ASSERT_TRUE(state().settings().showAchievementToast);
    state().recordExpansion(QStringLiteral("/sig"), 40);
    scheduler.runDue();
    EXPECT_TRUE(state().stats().unlocked.contains(QStringLiteral("volume_1")));
    EXPECT_FALSE(TimeSavedFloater::shared().window());
    EXPECT_FALSE(AchievementUnlockToast::shared().banner());
    EXPECT_FALSE(AchievementUnlockToast::shared().isPresenting());
    EXPECT_TRUE(shownWindows().isEmpty());
    scheduler.advance(10);
    EXPECT_TRUE(shownWindows().isEmpty());
}

TEST_F(WindowsOnWayland, TheTutorialsLastStepShowsNoPanelAndStillEndsWithTheExpansion)
{
    TutorialManager& tutorial = TutorialManager::shared();
    tutorial.start();
    while (tutorial.currentStep() < 7)
        tutorial.next();
    scheduler.advance(1.5);
    EXPECT_EQ(delegate->tutorialPanels()->panel(), nullptr);
    EXPECT_TRUE(shownWindows().isEmpty());

    tutorial.notifyExpansion();
    scheduler.advance(1);
    EXPECT_EQ(delegate->tutorialPanels()->panel(), nullptr);
    EXPECT_TRUE(shownWindows().isEmpty());
    scheduler.advance(5);
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_TRUE(tutorial.onboardState().tutorialCompleted);
}
