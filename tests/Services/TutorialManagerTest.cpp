#include "App/AppState.h"
#include "ManualScheduler.h"
#include "Persistence/LocalStore.h"
#include "Services/TutorialManager.h"
#include "TempDir.h"
#include "Utilities/Notifications.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {
struct TutorialManagerTest : ::testing::Test {
    ManualScheduler scheduler;
    TutorialManager tutorial;
    QStringList events;

    void SetUp() override
    {
        QSettings().remove(QLatin1String(TutorialManager::storageKey));
        tutorial.setPresenters({
            [this](const QStringList& t) { events << QStringLiteral("helper:") + t.join(u','); },
            [this] { events << QStringLiteral("celebration"); },
            [this] { events << QStringLiteral("close"); },
            [this] { events << QStringLiteral("browser"); },
        });
    }

    void goTo(int step)
    {
        tutorial.start();
        while (tutorial.currentStep() < step)
            tutorial.next();
    }
};
} // namespace

TEST_F(TutorialManagerTest, StartRecordsThatTheTutorialWasShown)
{
    tutorial.start();
    EXPECT_TRUE(tutorial.isActive());
    EXPECT_EQ(tutorial.currentStep(), 0);
    EXPECT_EQ(QSettings().value(QLatin1String(TutorialManager::storageKey)).toByteArray(),
        QByteArray(R"({"seeded":false,"tutorialCompleted":false,"tutorialShown":true})"));
    EXPECT_EQ(tutorial.step().title, QStringLiteral("A few keys. Your words."));
}

TEST_F(TutorialManagerTest, SkipWritesNothingAndCompleteKeepsTheOtherFlags)
{
    QSettings().setValue(QLatin1String(TutorialManager::storageKey), OnboardState{true, false, false}.encode());
    tutorial.start();
    tutorial.skip();
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_EQ(tutorial.onboardState(), (OnboardState{true, true, false}));
    tutorial.start();
    tutorial.complete();
    EXPECT_EQ(tutorial.onboardState(), (OnboardState{true, true, true}));
}

TEST_F(TutorialManagerTest, UnreadableStoredStateReadsAsNothingDone)
{
    QSettings().setValue(QLatin1String(TutorialManager::storageKey), QByteArray(R"({"seeded":true})"));
    EXPECT_EQ(tutorial.onboardState(), OnboardState{});
}

TEST_F(TutorialManagerTest, TheNewShortcutScreenAdvancesTheAddButtonStep)
{
    goTo(2);
    tutorial.notifyScreenChanged(QStringLiteral("newFolder"));
    tutorial.notifyScreenChanged(QStringLiteral("settings"));
    EXPECT_EQ(tutorial.currentStep(), 2);
    tutorial.notifyScreenChanged(QStringLiteral("newShortcut"));
    EXPECT_EQ(tutorial.currentStep(), 3);
}

TEST_F(TutorialManagerTest, LeavingTheFormWhileFillingItInEndsTheTutorial)
{
    for (int step : {3, 4, 5}) {
        goTo(step);
        tutorial.notifyScreenChanged(QStringLiteral("main"));
        EXPECT_FALSE(tutorial.isActive()) << step;
    }
    for (int step : {2, 6}) {
        goTo(step);
        tutorial.notifyScreenChanged(QStringLiteral("main"));
        EXPECT_TRUE(tutorial.isActive()) << step;
    }
}

TEST_F(TutorialManagerTest, ASavedShortcutOnTheSaveStepIsRemembered)
{
    goTo(4);
    tutorial.notifyShortcutSaved(QStringLiteral("/early"));
    EXPECT_EQ(tutorial.currentStep(), 4);
    tutorial.next();
    tutorial.notifyShortcutSaved(QStringLiteral("/hello"));
    EXPECT_EQ(tutorial.currentStep(), 6);
    EXPECT_EQ(tutorial.savedTrigger(), QStringLiteral("/hello"));
}

TEST_F(TutorialManagerTest, TheLastStepClosesThePopoverOpensTheSiteAndCelebratesTheExpansion)
{
    int closeRequests = 0;
    QObject context;
    NotificationCenter::instance().observe(Notifications::velmoraClosePopover, &context,
        [&](const QVariant&) { ++closeRequests; });
    goTo(5);
    tutorial.notifyShortcutSaved(QStringLiteral("/hello"));
    events.clear();
    tutorial.notifyExpansion(); // step 6: nothing yet
    tutorial.next();
    EXPECT_EQ(closeRequests, 1);
    EXPECT_EQ(events, QStringList({QStringLiteral("browser")}));
    scheduler.advance(1.5);
    EXPECT_EQ(events.last(), QStringLiteral("helper:/hello"));
    tutorial.notifyExpansion();
    scheduler.advance(0.6);
    EXPECT_EQ(events.last(), QStringLiteral("celebration"));
    EXPECT_TRUE(tutorial.isActive());
    scheduler.advance(4.5);
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_TRUE(tutorial.onboardState().tutorialCompleted);
}

TEST_F(TutorialManagerTest, NextOnTheLastStepCompletes)
{
    goTo(7);
    tutorial.next();
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_TRUE(tutorial.onboardState().tutorialCompleted);
}

TEST_F(TutorialManagerTest, FramesArriveOnALaterTurn)
{
    tutorial.registerFrame(QStringLiteral("saveButton"), QRect(1, 2, 3, 4));
    EXPECT_TRUE(tutorial.targetFrames().isEmpty());
    scheduler.runDue();
    EXPECT_EQ(tutorial.targetFrames().value(QStringLiteral("saveButton")), QRect(1, 2, 3, 4));
}

TEST(TutorialExampleTrigger, AvoidsLibraryTriggersIgnoringCase)
{
    EXPECT_EQ(TutorialManager::exampleTrigger({}), QStringLiteral("/hello"));
    EXPECT_EQ(TutorialManager::exampleTrigger({QStringLiteral("/hello"), QStringLiteral("/hello2")}),
        QStringLiteral("/hello3"));
    EXPECT_EQ(TutorialManager::exampleTrigger({QStringLiteral("/HELLO")}), QStringLiteral("/hello2"));
}

TEST(TutorialTriggers, FallBackWithoutAnApplicationState)
{
    TutorialManager tutorial;
    EXPECT_EQ(tutorial.firstTrigger(), QStringLiteral("/fix"));
    EXPECT_EQ(tutorial.exampleTrigger(), QStringLiteral("/hello"));
}
