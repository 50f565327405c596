#include "App/State/AppState.h"
#include "ManualClock.h"
#include "Persistence/FileSystemError.h"
#include "Persistence/LocalStore.h"
#include "TempDir.h"
#include "Utilities/ToastManager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <cerrno>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Holds every write of the store's writer thread until it is opened, and fails the held ones
// as on a full disk when told to.
class WriteGate {
public:
    void close()
    {
        const std::lock_guard lock(m_mutex);
        m_open = false;
    }
    void open(bool fail = false)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
            m_fail = fail;
        }
        m_changed.notify_all();
    }
    // Waits until a write is held at the closed gate.
    void waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_held > 0; });
    }
    // Opens once a write is held, from another thread while the test's own waits for it.
    void openWhenHeld(bool fail)
    {
        waitUntilHeld();
        open(fail);
    }
    int writes(const QString& name) const
    {
        const std::lock_guard lock(m_mutex);
        return m_written.count(name);
    }

    void write(const QByteArray& bytes, const QString& path, FileIO::Access access)
    {
        std::unique_lock lock(m_mutex);
        ++m_held;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        --m_held;
        if (m_fail)
            throw FileSystemError(FileSystemError::Operation::write, path, ENOSPC);
        FileIO::writeAtomically(bytes, path, access);
        m_written.append(path.section(QLatin1Char('/'), -1));
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    bool m_fail = false;
    int m_held = 0;
    QStringList m_written;
};

struct BackgroundWritesTest : ::testing::Test {
    TempDir dir;
    ManualClock clock{QDateTime(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC)};
    WriteGate gate;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;

    void SetUp() override { open(60000); }
    void TearDown() override { gate.open(); }

    void open(int statisticsDelayMs)
    {
        state.reset();
        store = std::make_unique<LocalStore>(
            dir.path(), [this](const QByteArray& bytes, const QString& path, FileIO::Access access) {
                gate.write(bytes, path, access);
            });
        store->setBackgroundWrites(true, statisticsDelayMs);
        state = std::make_unique<AppState>(*store);
        state->updateSettings([](AppSettings& s) { s.confirmDelete = false; });
        state->waitForWrites();
    }

    QStringList triggersOnDisk() const
    {
        QStringList out;
        if (!dir.exists(QStringLiteral("data.json")))
            return out;
        for (const Shortcut& s : VelmoraJSON::decode<UserData>(dir.read(QStringLiteral("data.json"))).shortcuts)
            out << s.trigger;
        return out;
    }
    QStringList triggersShown() const
    {
        QStringList out;
        for (const Shortcut& s : state->userData().shortcuts)
            out << s.trigger;
        return out;
    }
    qint64 expansionsOnDisk() const
    {
        return VelmoraJSON::decode<Stats>(dir.read(QStringLiteral("stats.json"))).totalExpansions;
    }
    // Lets queued outcomes arrive as the event loop would deliver them.
    static void runEventsFor(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

} // namespace

TEST_F(BackgroundWritesTest, AWriteReportsSuccessOnlyOnceTheBytesAreOnDisk)
{
    gate.close();
    UserData library = state->userData();
    Shortcut s;
    s.id = QStringLiteral("S1");
    s.trigger = QStringLiteral("/sig");
    s.expansion = QStringLiteral("Best regards");
    library.shortcuts.append(s);
    std::optional<bool> reported;
    QStringList onDiskWhenReported;
    ASSERT_TRUE(store->saveDataInOrder(library, [&](bool written) {
        reported = written;
        onDiskWhenReported = triggersOnDisk();
    }));
    // The write is under way but not done: whatever the event loop has, nothing is reported.
    gate.waitUntilHeld();
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported.has_value());
    EXPECT_TRUE(store->hasPendingWrites());

    gate.open();
    store->flushWrites();
    ASSERT_EQ(reported, std::optional<bool>(true));
    EXPECT_EQ(onDiskWhenReported, QStringList({QStringLiteral("/sig")}));
    EXPECT_FALSE(store->hasPendingWrites());
}

TEST_F(BackgroundWritesTest, AnEditShowsAtOnceAndItsUndoStepsFollowInOrder)
{
    gate.close();
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt));
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    ASSERT_TRUE(state->undo());
    EXPECT_EQ(triggersShown(), QStringList({QStringLiteral("/a")}));
    EXPECT_TRUE(triggersOnDisk().isEmpty());
    EXPECT_TRUE(state->storageReady());

    gate.open();
    state->waitForWrites();
    EXPECT_EQ(triggersOnDisk(), QStringList({QStringLiteral("/a")}));
    ASSERT_TRUE(state->redo());
    state->waitForWrites();
    EXPECT_EQ(triggersOnDisk(), QStringList({QStringLiteral("/a"), QStringLiteral("/b")}));
}

TEST_F(BackgroundWritesTest, AFailedWritePutsTheLibraryAndHistoryBackAndRaisesRecovery)
{
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt));
    state->waitForWrites();
    const UserData written = state->userData();

    gate.close();
    QSignalSpy ready(state.get(), &AppState::storageReadyChanged);
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/c"), QStringLiteral("z"), std::nullopt));
    EXPECT_EQ(triggersShown().size(), 3);

    gate.open(/*fail=*/true);
    runEventsFor(0);
    state->waitForWrites();
    EXPECT_EQ(state->userData(), written);
    EXPECT_FALSE(state->storageReady());
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(store->isWriteFailure(LocalStore::Resource::library));
    EXPECT_EQ(store->firstIssue(), std::optional(LocalStore::Resource::library));
    // The change queued after the failed one was not tried: the file holds what was written.
    EXPECT_EQ(triggersOnDisk(), QStringList({QStringLiteral("/a")}));
    EXPECT_EQ(gate.writes(QStringLiteral("data.json")), 1);

    // Once storage is back, the library is the one on disk.
    gate.open();
    state->retryStorage();
    ASSERT_TRUE(state->storageReady());
    EXPECT_EQ(triggersShown(), QStringList({QStringLiteral("/a")}));
}

TEST_F(BackgroundWritesTest, AToastSaysAChangeSucceededOnlyOnceItIsOnDisk)
{
    QSignalSpy toasts(&ToastManager::shared(), &ToastManager::messageChanged);
    gate.close();
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt));
    state->toastOnceWritten(QStringLiteral("Shortcut created"));
    // The write is under way but not done: whatever the event loop has, no toast yet.
    gate.waitUntilHeld();
    QCoreApplication::processEvents();
    EXPECT_EQ(toasts.count(), 0);
    gate.open();
    state->waitForWrites();
    ASSERT_EQ(toasts.count(), 1);
    EXPECT_EQ(ToastManager::shared().message(), std::optional(QStringLiteral("Shortcut created")));

    // A change whose write fails is never said to have succeeded.
    toasts.clear();
    gate.close();
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    state->toastOnceWritten(QStringLiteral("Shortcut created"));
    std::thread opener([this] { gate.openWhenHeld(/*fail=*/true); });
    state->waitForWrites();
    opener.join();
    EXPECT_EQ(toasts.count(), 0);
    EXPECT_FALSE(state->storageReady());
}

TEST_F(BackgroundWritesTest, AChangeTheUserIsToldIsDoneWaitsForTheDisk)
{
    gate.close();
    UserData imported = state->userData();
    Shortcut s;
    s.id = QStringLiteral("S1");
    s.trigger = QStringLiteral("/imported");
    s.expansion = QStringLiteral("text");
    imported.shortcuts.append(s);
    // The gate fails the write from another thread while the import waits for it.
    std::thread opener([this] { gate.openWhenHeld(/*fail=*/true); });
    const AppState::ImportOutcome outcome = state->applyImport(imported, state->userData());
    opener.join();
    EXPECT_NE(outcome, AppState::ImportOutcome::imported);
    EXPECT_TRUE(triggersShown().isEmpty());
    EXPECT_FALSE(state->storageReady());
}

TEST_F(BackgroundWritesTest, ExpansionCountsAreWrittenOnceForABurst)
{
    open(40);
    const int before = gate.writes(QStringLiteral("stats.json"));
    for (int i = 0; i < 5; ++i)
        state->recordExpansion(QStringLiteral("/x"), 10);
    EXPECT_EQ(state->stats().totalExpansions, 5);
    EXPECT_EQ(gate.writes(QStringLiteral("stats.json")), before);
    while (store->hasPendingWrites())
        runEventsFor(10);
    EXPECT_EQ(gate.writes(QStringLiteral("stats.json")), before + 1);
    EXPECT_EQ(expansionsOnDisk(), 5);
}

TEST_F(BackgroundWritesTest, WaitingCountsAreWrittenWhenTheApplicationQuits)
{
    state->recordExpansion(QStringLiteral("/x"), 10);
    state->recordExpansion(QStringLiteral("/x"), 10);
    ASSERT_TRUE(store->hasPendingWrites());
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_FALSE(store->hasPendingWrites());
    EXPECT_EQ(expansionsOnDisk(), 2);
}

TEST_F(BackgroundWritesTest, AFailedCountsWriteDropsTheCountsSinceTheLastWrite)
{
    state->recordExpansion(QStringLiteral("/x"), 10);
    state->waitForWrites();
    ASSERT_EQ(expansionsOnDisk(), 1);
    gate.close();
    state->recordExpansion(QStringLiteral("/x"), 10);
    state->recordExpansion(QStringLiteral("/x"), 10);
    EXPECT_EQ(state->stats().totalExpansions, 3);
    std::thread opener([this] { gate.openWhenHeld(/*fail=*/true); });
    state->waitForWrites();
    opener.join();
    EXPECT_EQ(state->stats().totalExpansions, 1);
    EXPECT_FALSE(state->storageReady());
    EXPECT_EQ(expansionsOnDisk(), 1);
}
