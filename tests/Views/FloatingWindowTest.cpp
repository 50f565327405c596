#include "FakeWindowEffects.h"
#include "ManualScheduler.h"
#include "TutorialAtLastStep.h"

#include "Services/AchievementCatalog.h"
#include "Services/TutorialManager.h"
#include "Utilities/Notifications.h"
#include "Views/MenuBar/achievements/AchievementUnlockToast.h"
#include "Views/MenuBar/tutorial/FloatingTutorialHelper.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"
#include "Views/TimeSavedFloater.h"

#include <QAbstractButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A desktop where every new window takes the keyboard, but a surface that never does can be
// had (a Wayland compositor with a layer shell).
class FloatingWindowsOnOverlaySurfaces : public ::testing::Test {
protected:
    FloatingWindowsOnOverlaySurfaces() { effects.overlaySurfaces = true; }

    // Whether the surface shows a picture of the window's size where the window stands.
    static bool standsForWindow(const FakeOverlaySurface& surface, const QWidget& window)
    {
        return surface.shown() && surface.position == window.pos()
            && surface.picture.deviceIndependentSize().toSize() == window.size();
    }

    static bool drawsSomething(const FakeOverlaySurface& surface)
    {
        const QImage picture = surface.picture.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (qAlpha(picture.pixel(x, y)) > 0)
                    return true;
            }
        }
        return false;
    }

    static void click(FakeOverlaySurface& surface, QPointF at)
    {
        Q_EMIT surface.pointerEntered(at);
        Q_EMIT surface.buttonPressed(at, Qt::LeftButton);
        Q_EMIT surface.buttonReleased(at, Qt::LeftButton);
    }

    ManualScheduler scheduler;
    FakeWindowEffects effects{false, false, false};
};

// A desktop where every new window takes the keyboard and no surface can be had that does not
// (GNOME's compositor).
class FloatingWindowsNowhere : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    FakeWindowEffects effects{false, false, false};
};

} // namespace

TEST_F(FloatingWindowsNowhere, NothingFloatsAndTheTutorialStillEndsWithTheExpansion)
{
    TimeSavedFloater floater;
    floater.show(1.2);
    scheduler.runDue();
    EXPECT_FALSE(floater.window());

    AchievementUnlockToast toast;
    toast.show(AchievementCatalog::all().first());
    scheduler.runDue();
    EXPECT_FALSE(toast.banner());
    EXPECT_FALSE(toast.isPresenting());

    TutorialAtLastStep walked;
    TutorialManager& tutorial = walked.tutorial;
    const TutorialPanels& panels = walked.panels;
    scheduler.advance(1.5);
    EXPECT_EQ(panels.panel(), nullptr);
    tutorial.notifyExpansion();
    scheduler.advance(1);
    EXPECT_EQ(panels.panel(), nullptr);
    scheduler.advance(5);
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_TRUE(tutorial.onboardState().tutorialCompleted);
}

TEST_F(FloatingWindowsOnOverlaySurfaces, TheTimeSavedLabelIsDrawnOnASurfaceThePointerPassesThrough)
{
    TimeSavedFloater floater;
    floater.show(1.2);
    scheduler.runDue();
    QWidget* window = floater.window();
    ASSERT_TRUE(window);
    ASSERT_EQ(effects.surfaces.size(), 1);
    ASSERT_TRUE(effects.surfaces.first());
    FakeOverlaySurface& surface = *effects.surfaces.first();
    EXPECT_FALSE(surface.takesPointer);
    EXPECT_TRUE(standsForWindow(surface, *window));
    EXPECT_TRUE(drawsSomething(surface));
    EXPECT_TRUE(window->testAttribute(Qt::WA_DontShowOnScreen)) << "no window of the window system's";
    scheduler.advance(2.5);
    EXPECT_FALSE(floater.window());
    EXPECT_TRUE(!effects.surfaces.first() || !effects.surfaces.first()->shown());
}

TEST_F(FloatingWindowsOnOverlaySurfaces, AClickOnTheBannersSurfaceOpensTheAchievements)
{
    int opened = 0;
    QObject context;
    NotificationCenter::instance().observe(
        Notifications::velmoraOpenAchievements, &context, [&](const QVariant&) { ++opened; });
    AchievementUnlockToast toast;
    toast.show(AchievementCatalog::all().first());
    ASSERT_TRUE(toast.banner());
    ASSERT_EQ(effects.surfaces.size(), 1);
    ASSERT_TRUE(effects.surfaces.first());
    FakeOverlaySurface& surface = *effects.surfaces.first();
    EXPECT_TRUE(surface.takesPointer);
    EXPECT_TRUE(standsForWindow(surface, *toast.banner()));
    click(surface, QPointF(toast.banner()->rect().center()));
    EXPECT_EQ(opened, 1);
    scheduler.advance(1);
    EXPECT_FALSE(toast.banner());
    EXPECT_TRUE(!effects.surfaces.first() || !effects.surfaces.first()->shown());
}

TEST_F(FloatingWindowsOnOverlaySurfaces, TheHelpersCloseButtonOnItsSurfaceEndsTheTutorial)
{
    TutorialAtLastStep walked;
    const TutorialManager& tutorial = walked.tutorial;
    TutorialPanels& panels = walked.panels;
    panels.showHelper({QStringLiteral("/mine")});
    auto* helper = qobject_cast<FloatingTutorialHelper*>(panels.panel());
    ASSERT_TRUE(helper);
    ASSERT_EQ(effects.surfaces.size(), 1);
    ASSERT_TRUE(effects.surfaces.first());
    FakeOverlaySurface& surface = *effects.surfaces.first();
    EXPECT_TRUE(standsForWindow(surface, *helper));
    EXPECT_TRUE(drawsSomething(surface));
    const QAbstractButton* close = helper->closeButton();
    click(surface, QPointF(close->mapTo(helper, close->rect().center())));
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_EQ(panels.panel(), nullptr);
}
