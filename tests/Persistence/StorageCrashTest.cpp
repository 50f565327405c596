#include "Models/Stats.h"
#include "Models/UserData.h"
#include "TempDir.h"
#include "helpers/storage-save-loop/SaveLoopRounds.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Whether a file holds exactly what round `round` writes; round 0 stands for no file at all.
template <class Encode> bool holdsRound(const std::optional<QByteArray>& bytes, qint64 round, Encode encode)
{
    if (round == 0)
        return !bytes;
    return bytes && *bytes == encode(round);
}

// Which of `candidates` the file holds, or -1 for none of them (a damaged or foreign file).
template <class Encode>
qint64 roundAmong(const std::optional<QByteArray>& bytes, std::initializer_list<qint64> candidates, Encode encode)
{
    for (const qint64 round : candidates) {
        if (round >= 0 && holdsRound(bytes, round, encode))
            return round;
    }
    return -1;
}

std::optional<QByteArray> readIfPresent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

struct ChildReport {
    qint64 startRound = -1;
    qint64 lastFinished = -1;
};

ChildReport parseReport(const QByteArray& output)
{
    ChildReport report;
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("start "))
            report.startRound = report.lastFinished = line.mid(6).toLongLong();
        else if (!line.isEmpty())
            report.lastFinished = line.toLongLong();
    }
    return report;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitizedBuild = true;
#else
constexpr bool sanitizedBuild = false;
#endif
#elif defined(__SANITIZE_ADDRESS__)
constexpr bool sanitizedBuild = true;
#else
constexpr bool sanitizedBuild = false;
#endif

} // namespace

// A process saving the library and statistics in a loop is killed at random moments. After
// every kill each data file and backup must hold a complete version, the library and the
// statistics must be the round last reported finished or the one under way, and the next
// process must find storage ready.
TEST(StorageCrash, KillingTheWriterAtAnyMomentLeavesOnlyCompleteVersions)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-storage-save-loop");
    ASSERT_TRUE(QFileInfo::exists(program)) << "missing helper program " << program.toStdString();
    TempDir dir;
    const quint32 seed = QRandomGenerator::system()->generate();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    QRandomGenerator random(seed);
    const auto libraryBytes = [](qint64 round) { return VelmoraJSON::encode(SaveLoopRounds::library(round)); };
    const auto statsBytes = [](qint64 round) { return VelmoraJSON::encode(SaveLoopRounds::stats(round)); };

    // Kills are spread over about two rounds of the writer, so that they land before, inside
    // and between its writes whatever the speed of the build.
    const qint64 roundMicroseconds = [&] {
        QProcess child;
        child.start(program, {dir.path()});
        if (!child.waitForStarted(5000))
            return qint64(-1);
        QByteArray output;
        QElapsedTimer timer;
        while (output.count('\n') < 1 + 3) {
            if (!child.waitForReadyRead(30000))
                return qint64(-1);
            if (output.isEmpty())
                timer.start();
            output += child.readAllStandardOutput();
        }
        child.kill();
        child.waitForFinished(5000);
        // The first round after a start also waits for the load's own work, so the spread
        // covers the whole stretch from the start to the third round.
        return std::max<qint64>(timer.nsecsElapsed() / 1000 / 2, 1000);
    }();
    ASSERT_GT(roundMicroseconds, 0) << "the writer did not run";

    // A few hundred kills; slow builds (sanitizers) stop earlier, once the time is up, but not
    // before one kill has come while a round was being written (saves are quick, so that
    // window is narrow).
    QElapsedTimer clock;
    clock.start();
    const int kills = 300;
    int killed = 0;
    int killedWhileWriting = 0;
    const auto goOn = [&] {
        if (killed >= kills)
            return false;
        if (killed < 30 || clock.elapsed() < 25000)
            return true;
        return killedWhileWriting == 0 && clock.elapsed() < 120000;
    };
    for (; goOn(); ++killed) {
        QProcess child;
        child.start(program, {dir.path()});
        ASSERT_TRUE(child.waitForStarted(5000));
        QByteArray output;
        while (!output.contains('\n')) {
            ASSERT_TRUE(child.waitForReadyRead(30000))
                << "no start from the writer: " << child.readAllStandardError().toStdString();
            output += child.readAllStandardOutput();
        }
        QThread::usleep(random.bounded(quint32(2 * roundMicroseconds)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(5000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit)
            << "the writer stopped by itself with code " << child.exitCode() << ": "
            << child.readAllStandardError().toStdString();
        output += child.readAllStandardOutput();
        const ChildReport report = parseReport(output);
        ASSERT_GE(report.startRound, 0);

        const qint64 finished = report.lastFinished;
        const qint64 dataRound
            = roundAmong(readIfPresent(dir.file(QStringLiteral("data.json"))), {finished, finished + 1}, libraryBytes);
        const qint64 statsRound
            = roundAmong(readIfPresent(dir.file(QStringLiteral("stats.json"))), {finished, finished + 1}, statsBytes);
        ASSERT_NE(dataRound, -1) << "the library is neither round " << finished << " nor the next";
        ASSERT_NE(statsRound, -1) << "the statistics are neither round " << finished << " nor the next";
        if (dataRound > finished || statsRound > finished)
            ++killedWhileWriting;

        // A backup holds the version before the file's, or the file's own when the kill came
        // between writing the backup and replacing the file.
        const auto dataBackup = readIfPresent(dir.file(QStringLiteral("data.json.backup")));
        const auto statsBackup = readIfPresent(dir.file(QStringLiteral("stats.json.backup")));
        ASSERT_NE(roundAmong(dataBackup, {dataRound - 1, dataRound}, libraryBytes), -1) << "unexpected library backup";
        ASSERT_NE(roundAmong(statsBackup, {statsRound - 1, statsRound}, statsBytes), -1)
            << "unexpected statistics backup";
    }
    RecordProperty("kills", killed);
    RecordProperty("killedWhileWriting", killedWhileWriting);
    // Under the sanitizers a writer spends most of its short life starting up, so kills rarely
    // land inside a write there; the Release build checks that they do.
    if (!sanitizedBuild) {
        EXPECT_GT(killedWhileWriting, 0) << "no kill came while a round was being written";
    }
}
