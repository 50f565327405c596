#include "ManualClock.h"
#include "ManualScheduler.h"
#include "Utilities/Notifications.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

TEST(ManualScheduler, RunsDueWorkInTimeOrderAndMovesTheClock)
{
    ManualClock clock;
    ManualScheduler scheduler(&clock);
    const QDateTime start = clock.now();
    QStringList log;
    Scheduler::current().after(0.4, nullptr, [&] { log << QStringLiteral("b"); });
    Scheduler::current().after(0.0, nullptr, [&] { log << QStringLiteral("a"); });
    Scheduler::current().after(
        0.8, nullptr, [&] { log << QStringLiteral("c@") + QString::number(start.msecsTo(clock.now())); });
    scheduler.advance(0.5);
    EXPECT_EQ(log, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    scheduler.advance(1);
    EXPECT_EQ(log.last(), QStringLiteral("c@800"));
    EXPECT_EQ(start.msecsTo(clock.now()), 1500);
}

TEST(ManualScheduler, CancelledWorkAndWorkOfDeadContextsNeverRun)
{
    ManualScheduler scheduler;
    int runs = 0;
    ScheduledTask task = Scheduler::current().after(1, nullptr, [&] { ++runs; });
    EXPECT_TRUE(task.isPending());
    task.cancel();
    auto* context = new QObject;
    Scheduler::current().after(1, context, [&] { ++runs; });
    delete context;
    scheduler.advance(2);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(task.isPending());
}

TEST(ManualScheduler, RepeatsUntilCancelled)
{
    ManualScheduler scheduler;
    int runs = 0;
    ScheduledTask poll;
    poll = Scheduler::current().every(2, nullptr, [&] {
        if (++runs == 3)
            poll.cancel();
    });
    scheduler.advance(10);
    EXPECT_EQ(runs, 3);
}

TEST(EventLoopScheduler, RunsWorkOnTheEventLoopAfterTheDelay)
{
    bool ran = false;
    QElapsedTimer timer;
    timer.start();
    Scheduler::current().after(0.02, nullptr, [&] { ran = true; });
    while (!ran && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(ran);
    EXPECT_GE(timer.elapsed(), 15);
}

TEST(NotificationCenter, DeliversPostsToObserversOfThatNameUntilTheirContextDies)
{
    QVariant received;
    int count = 0;
    auto* context = new QObject;
    NotificationCenter::instance().observe(Notifications::velmoraMoveSelection, context, [&](const QVariant& object) {
        received = object;
        ++count;
    });
    NotificationCenter::instance().post(Notifications::velmoraFocusSearch);
    NotificationCenter::instance().post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::left));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(received.value<NavDirection>(), NavDirection::left);
    delete context;
    NotificationCenter::instance().post(Notifications::velmoraMoveSelection, QVariant::fromValue(NavDirection::up));
    EXPECT_EQ(count, 1);
}
