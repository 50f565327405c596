#include "ManualScheduler.h"

#include "Services/TutorialManager.h"
#include "Views/MenuBar/tutorial/CelebrationView.h"
#include "Views/MenuBar/tutorial/FloatingTutorialHelper.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The panels of the tutorial's last step, shown for a tutorial of the test's own.
class TutorialPanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QLatin1String(TutorialManager::storageKey));
        tutorial.setPresenters(panels.presenters([] {}));
        tutorial.start();
        while (tutorial.currentStep() < 7)
            tutorial.next();
    }

    FloatingTutorialHelper* helper() const { return qobject_cast<FloatingTutorialHelper*>(panels.panel()); }
    CelebrationView* celebration() const { return qobject_cast<CelebrationView*>(panels.panel()); }

    ManualScheduler scheduler;
    TutorialManager tutorial;
    TutorialPanels panels{tutorial};
};

} // namespace

TEST_F(TutorialPanelsTest, TheHelperAsksForTheSavedTriggerAtTheBottomCentre)
{
    panels.showHelper({QStringLiteral("/mine"), QStringLiteral("/other")});
    ASSERT_NE(helper(), nullptr);
    EXPECT_EQ(helper()->trigger(), QStringLiteral("/mine"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = helper()->geometry();
    EXPECT_EQ(frame.x() - area.x(), area.x() + area.width() - (frame.x() + frame.width()));
    EXPECT_EQ(area.y() + area.height() - (frame.y() + frame.height()), TutorialPanels::helperBottomMargin);

    panels.showHelper({});
    EXPECT_EQ(helper()->trigger(), QStringLiteral("/hello"));
}

TEST_F(TutorialPanelsTest, TheHelpersCloseButtonEndsTheTutorialWithoutCompletingIt)
{
    scheduler.advance(1.5);
    ASSERT_NE(helper(), nullptr);
    QTest::mouseClick(helper()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_FALSE(tutorial.onboardState().tutorialCompleted);
    EXPECT_EQ(panels.panel(), nullptr);
}

TEST_F(TutorialPanelsTest, TheCelebrationReplacesTheHelperAndLeavesByItself)
{
    scheduler.advance(1.5);
    tutorial.notifyExpansion();
    EXPECT_EQ(panels.panel(), nullptr);
    scheduler.advance(0.6);
    ASSERT_NE(celebration(), nullptr);
    EXPECT_TRUE(celebration()->isVisible());
    EXPECT_TRUE(celebration()->windowFlags().testFlag(Qt::FramelessWindowHint));
    scheduler.advance(TutorialPanels::celebrationSeconds);
    ASSERT_NE(celebration(), nullptr);
    EXPECT_FALSE(celebration()->isVisible());
    EXPECT_TRUE(tutorial.isActive());
    scheduler.advance(0.5);
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_EQ(panels.panel(), nullptr);
}

TEST_F(TutorialPanelsTest, DoneHidesTheCelebrationAtOnce)
{
    scheduler.advance(1.5);
    tutorial.notifyExpansion();
    scheduler.advance(0.6);
    ASSERT_NE(celebration(), nullptr);
    QTest::mouseClick(celebration()->doneButton(), Qt::LeftButton);
    EXPECT_FALSE(celebration()->isVisible());
    scheduler.advance(TutorialPanels::celebrationSeconds);
    EXPECT_FALSE(celebration()->isVisible());
}
