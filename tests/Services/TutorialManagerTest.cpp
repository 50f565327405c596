#include "Services/TutorialManager.h"
#include "ManualScheduler.h"
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
        QByteArray(R"({"seeded":false,"tutorialShown":true,"tutorialCompleted":false})"));
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
    goTo(5);
    tutorial.notifyShortcutSaved(QStringLiteral("/hello"));
    EXPECT_EQ(tutorial.currentStep(), 6);
    EXPECT_EQ(tutorial.savedTrigger(), QStringLiteral("/hello"));
}

TEST_F(TutorialManagerTest, TheLastStepClosesThePopoverOpensTheSiteAndCelebratesTheExpansion)
{
    int closeRequests = 0;
    QObject context;
    NotificationCenter::instance().observe(
        Notifications::velmoraClosePopover, &context, [&](const QVariant&) { ++closeRequests; });
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

TEST(TutorialTriggers, FallBackWithoutALibrary)
{
    TutorialManager tutorial;
    EXPECT_EQ(tutorial.firstTrigger(), QStringLiteral("/fix"));
    EXPECT_EQ(tutorial.exampleTrigger(), QStringLiteral("/hello"));
    EXPECT_EQ(tutorial.getUserTriggers(), QStringList({"/fix", "/explain"}));
}

// ---------------------------------------------------------------- the whole walk and its ends

TEST_F(TutorialManagerTest, TheEightStepsLeadFromTheListToACelebratedExpansion)
{
    tutorial.start();
    tutorial.next();
    tutorial.next();
    EXPECT_EQ(tutorial.step().advance, TutorialStep::AdvanceMode::onNewShortcutScreen);
    tutorial.notifyScreenChanged(QStringLiteral("newShortcut"));
    tutorial.next();
    tutorial.next();
    EXPECT_EQ(tutorial.step().advance, TutorialStep::AdvanceMode::onShortcutSaved);
    tutorial.notifyShortcutSaved(QStringLiteral("/hello"));
    tutorial.notifyScreenChanged(QStringLiteral("main"));
    EXPECT_EQ(tutorial.step().advance, TutorialStep::AdvanceMode::tryShortcut);
    tutorial.next();
    EXPECT_EQ(tutorial.currentStep(), 7);
    scheduler.advance(1.5);
    tutorial.notifyExpansion();
    scheduler.advance(0.6);
    scheduler.advance(4.5);
    EXPECT_EQ(events, QStringList({"close", "browser", "helper:/hello", "close", "celebration", "close"}));
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_EQ(tutorial.currentStep(), 0);
    EXPECT_EQ(tutorial.onboardState(), (OnboardState{false, true, true}));
}

TEST_F(TutorialManagerTest, SkippingAtAnyStepEndsItAndARestartBeginsAfresh)
{
    for (int step = 0; step <= 7; ++step) {
        goTo(step);
        if (step == 7)
            tutorial.notifyExpansion();
        tutorial.skip();
        EXPECT_FALSE(tutorial.isActive()) << step;
        EXPECT_EQ(tutorial.currentStep(), 0) << step;
        EXPECT_FALSE(tutorial.onboardState().tutorialCompleted) << step;

        tutorial.start();
        events.clear();
        scheduler.advance(10);
        EXPECT_TRUE(events.isEmpty()) << step << ": " << events.join(u' ').toStdString();
        EXPECT_TRUE(tutorial.isActive()) << step;
        EXPECT_EQ(tutorial.currentStep(), 0) << step;
        EXPECT_FALSE(tutorial.onboardState().tutorialCompleted) << step;
    }
}

TEST_F(TutorialManagerTest, ARestartDuringTheCelebrationIsNotEndedByTheOldTimers)
{
    goTo(7);
    tutorial.notifyExpansion();
    scheduler.advance(0.6);
    ASSERT_EQ(events.last(), QStringLiteral("celebration"));
    tutorial.start();
    scheduler.advance(4.5);
    EXPECT_TRUE(tutorial.isActive());
    EXPECT_EQ(tutorial.currentStep(), 0);
    EXPECT_FALSE(tutorial.onboardState().tutorialCompleted);
}

TEST_F(TutorialManagerTest, OnlyTheFirstExpansionOfTheLastStepIsCelebrated)
{
    goTo(7);
    tutorial.notifyExpansion();
    scheduler.advance(0.3);
    tutorial.notifyExpansion();
    scheduler.advance(0.6);
    tutorial.notifyExpansion();
    scheduler.advance(10);
    EXPECT_EQ(events.count(QStringLiteral("celebration")), 1);
    EXPECT_FALSE(tutorial.isActive());
}

TEST_F(TutorialManagerTest, AHelperDueFromAnEndedRunNeverAppears)
{
    goTo(7);
    scheduler.advance(1);
    tutorial.skip();
    goTo(7);
    scheduler.advance(1);
    EXPECT_EQ(events.filter(QStringLiteral("helper:")).size(), 0);
    scheduler.advance(0.5);
    EXPECT_EQ(events.filter(QStringLiteral("helper:")).size(), 1);
}

TEST_F(TutorialManagerTest, ASaveWhileTheFormStepsAreReadCountsAsTheSaveStep)
{
    for (int step : {3, 4, 5}) {
        goTo(step);
        tutorial.notifyShortcutSaved(QStringLiteral("/mine"));
        EXPECT_EQ(tutorial.currentStep(), 6) << step;
        EXPECT_EQ(tutorial.savedTrigger(), QStringLiteral("/mine")) << step;
        tutorial.notifyScreenChanged(QStringLiteral("main"));
        EXPECT_TRUE(tutorial.isActive()) << step;
    }
    for (int step : {0, 1, 2, 6, 7}) {
        goTo(step);
        tutorial.notifyShortcutSaved(QStringLiteral("/mine"));
        EXPECT_EQ(tutorial.currentStep(), step) << step;
        EXPECT_EQ(tutorial.savedTrigger(), std::nullopt) << step;
    }
}

TEST_F(TutorialManagerTest, WithoutASavedShortcutTheHelperOffersTheLibrarysFirstTriggers)
{
    QStringList library;
    for (int i = 1; i <= 7; ++i)
        library.append(QStringLiteral("/t%1").arg(i));
    tutorial.setTriggerSource([&]() -> std::optional<QStringList> { return library; });
    EXPECT_EQ(tutorial.getUserTriggers(), QStringList({"/t1", "/t2", "/t3", "/t4", "/t5"}));
    EXPECT_EQ(tutorial.firstTrigger(), QStringLiteral("/t1"));
    goTo(7);
    scheduler.advance(1.5);
    EXPECT_EQ(events.last(), QStringLiteral("helper:/t1,/t2,/t3,/t4,/t5"));

    library.clear();
    EXPECT_TRUE(tutorial.getUserTriggers().isEmpty());
    EXPECT_EQ(tutorial.firstTrigger(), QStringLiteral("/fix"));
    EXPECT_EQ(tutorial.exampleTrigger(), QStringLiteral("/hello"));
}

TEST_F(TutorialManagerTest, AStartAskedForLaterComesAfterTheDelay)
{
    tutorial.startAfter(0.3);
    EXPECT_FALSE(tutorial.isActive());
    scheduler.advance(0.3);
    EXPECT_TRUE(tutorial.isActive());
}
