#include "ManualScheduler.h"
#include "TutorialAtLastStep.h"

#include "Services/AchievementCatalog.h"
#include "Services/TutorialManager.h"
#include "Views/MenuBar/achievements/AchievementUnlockToast.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"
#include "Views/TimeSavedFloater.h"
#include "platform/WindowEffects.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

class CompositedWindows final : public WindowEffects {
public:
    bool translucencyAvailable() const override { return true; }
    bool blurAvailable() const override { return false; }
    void setBlurBehind(QWindow&, bool) override { }
};

// A see-through window on a desktop without a compositor keeps only what it draws: its
// corners (outside the rounded card, or around the text) are cut away, its middle stays.
void expectCutToItsShape(const QWidget& window)
{
    const QRegion mask = window.mask();
    ASSERT_FALSE(mask.isEmpty()) << window.metaObject()->className();
    EXPECT_FALSE(mask.contains(QPoint(0, 0))) << window.metaObject()->className();
    EXPECT_FALSE(mask.contains(QPoint(window.width() - 1, window.height() - 1))) << window.metaObject()->className();
}

TEST(WindowsWithoutCompositor, TheTutorialPanelIsCutToItsCardAndUncutWithACompositor)
{
    ManualScheduler scheduler;
    TutorialAtLastStep walked;
    TutorialPanels& panels = walked.panels;
    panels.showHelper({QStringLiteral("/mine")});
    QWidget* panel = panels.panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->isWindow());
    expectCutToItsShape(*panel);
    EXPECT_TRUE(panel->mask().contains(panel->rect().center()));

    CompositedWindows composited;
    WindowEffects::setCurrent(&composited);
    panel->resize(panel->width(), panel->height());
    panels.showHelper({QStringLiteral("/other")});
    WindowEffects::setCurrent(nullptr);
    EXPECT_TRUE(panels.panel()->mask().isEmpty());
}

TEST(WindowsWithoutCompositor, TheTimeSavedFloaterKeepsOnlyItsText)
{
    ManualScheduler scheduler;
    TimeSavedFloater floater;
    floater.show(12);
    scheduler.runDue();
    QWidget* window = floater.window();
    ASSERT_NE(window, nullptr);
    expectCutToItsShape(*window);
}

TEST(WindowsWithoutCompositor, TheUnlockBannerIsCutToItsCard)
{
    ManualScheduler scheduler;
    AchievementUnlockToast toast;
    toast.show(AchievementCatalog::all().first());
    scheduler.runDue();
    QWidget* banner = toast.banner();
    ASSERT_NE(banner, nullptr);
    ASSERT_TRUE(banner->isWindow());
    expectCutToItsShape(*banner);
    EXPECT_TRUE(banner->mask().contains(banner->rect().center()));
}

} // namespace
