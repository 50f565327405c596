#include "App/Shell/SingleInstance.h"
#include "TempDir.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A later start of the program, in a thread of its own as it would be in a process of its
// own: it blocks while it talks to the running one.
bool laterStartRuns(const QString& socketPath, const QString& url = {})
{
    bool runs = true;
    QThread* start = QThread::create([&] { runs = SingleInstance(socketPath).claim(url); });
    start->start();
    while (!start->wait(5))
        QCoreApplication::processEvents();
    delete start;
    // The running one took the request on its listener thread; its main thread acts on it
    // when it next runs its events.
    QCoreApplication::processEvents();
    return runs;
}

TEST(SingleInstance, TheFirstStartRunsAndALaterOneAsksItToShowItself)
{
    TempDir dir;
    const QString socket = dir.file(QStringLiteral("velmora.socket"));
    SingleInstance running(socket);
    ASSERT_TRUE(running.claim());
    QSignalSpy asked(&running, &SingleInstance::activationRequested);

    EXPECT_FALSE(laterStartRuns(socket));
    EXPECT_EQ(asked.count(), 1);
    EXPECT_FALSE(laterStartRuns(socket));
    EXPECT_EQ(asked.count(), 2);
}

TEST(SingleInstance, ABusyRunningOneStillTakesTheRequestAndActsOnItWhenFree)
{
    TempDir dir;
    const QString socket = dir.file(QStringLiteral("velmora.socket"));
    SingleInstance running(socket);
    ASSERT_TRUE(running.claim());
    QSignalSpy asked(&running, &SingleInstance::activationRequested);

    // The main thread runs no events while the later start talks to it, as while it is
    // rebuilding a large list.
    bool runs = true;
    std::unique_ptr<QThread> start(QThread::create([&] { runs = SingleInstance(socket).claim(); }));
    start->start();
    start->wait();
    EXPECT_FALSE(runs);
    EXPECT_EQ(asked.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked.count(), 1);
}

TEST(SingleInstance, ALaterStartWithAURLHandsItOverAsItCame)
{
    TempDir dir;
    const QString socket = dir.file(QStringLiteral("velmora.socket"));
    SingleInstance running(socket);
    ASSERT_TRUE(running.claim());
    QSignalSpy asked(&running, &SingleInstance::activationRequested);
    QSignalSpy handed(&running, &SingleInstance::urlReceived);

    const QString callback = QStringLiteral("velmora://auth-callback?code=") + QString(2048, u'x');
    EXPECT_FALSE(laterStartRuns(socket, callback));
    ASSERT_EQ(handed.count(), 1);
    EXPECT_EQ(handed.first().first().toString(), callback);
    EXPECT_EQ(asked.count(), 0);

    // A URL that would break the line it travels on is not handed over; the start still only
    // brings the running one forward.
    EXPECT_FALSE(laterStartRuns(socket, QStringLiteral("velmora://auth-callback?code=a\nactivate")));
    EXPECT_EQ(handed.count(), 1);
    EXPECT_EQ(asked.count(), 1);
}

TEST(SingleInstance, AStartAfterTheRunningOneEndedRuns)
{
    TempDir dir;
    const QString socket = dir.file(QStringLiteral("velmora.socket"));
    {
        SingleInstance earlier(socket);
        ASSERT_TRUE(earlier.claim());
    }
    SingleInstance next(socket);
    EXPECT_TRUE(next.claim());
    QSignalSpy asked(&next, &SingleInstance::activationRequested);
    EXPECT_FALSE(laterStartRuns(socket));
    EXPECT_EQ(asked.count(), 1);
}

TEST(SingleInstance, ASocketLeftBehindByACrashIsTakenOver)
{
    TempDir dir;
    const QString socket = dir.file(QStringLiteral("velmora.socket"));
    // What a killed process leaves: its socket file, and its lock naming a process that is
    // gone.
    QProcess ended;
    ended.start(QStringLiteral("true"));
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 pid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    dir.write(QStringLiteral("velmora.socket"), QByteArray());
    dir.write(QStringLiteral("velmora.socket.lock"),
        QByteArray::number(pid) + "\ntrue\n" + QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId()
            + '\n' + QSysInfo::bootUniqueId() + '\n');
    SingleInstance next(socket);
    EXPECT_TRUE(next.claim());
    QSignalSpy asked(&next, &SingleInstance::activationRequested);
    EXPECT_FALSE(laterStartRuns(socket));
    EXPECT_EQ(asked.count(), 1);
}

} // namespace
