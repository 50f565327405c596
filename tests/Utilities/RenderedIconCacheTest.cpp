#include "Utilities/RenderedIconCache.h"

#include <QAtomicInt>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Whether a thread of this process is blocked, as the kernel reports it.
bool threadSleeps(pid_t thread)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(thread));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    // The state follows the command name, which is in parentheses and may hold spaces.
    const qsizetype end = line.lastIndexOf(')');
    return end >= 0 && line.mid(end + 2, 1) == "S";
}

QImage solid(int side)
{
    QImage image(side, side, QImage::Format_Alpha8);
    image.fill(255);
    return image;
}

} // namespace

TEST(RenderedIconCache, RendersEachTextOnceAndSharesTheImage)
{
    int renders = 0;
    RenderedIconCache cache([&](const QString&) {
        ++renders;
        return solid(4);
    });
    const QImage first = cache.image(QStringLiteral("<svg a/>"));
    const QImage second = cache.image(QStringLiteral("<svg a/>"));
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
}

TEST(RenderedIconCache, RendersDifferentTextsSeparately)
{
    QStringList rendered;
    RenderedIconCache cache([&](const QString& svg) {
        rendered.append(svg);
        return solid(svg.size());
    });
    EXPECT_EQ(cache.image(QStringLiteral("<svg a/>")).width(), 8);
    EXPECT_EQ(cache.image(QStringLiteral("<svg bb/>")).width(), 9);
    EXPECT_EQ(cache.image(QStringLiteral("<svg a/>")).width(), 8);
    EXPECT_EQ(rendered, (QStringList{QStringLiteral("<svg a/>"), QStringLiteral("<svg bb/>")}));
}

TEST(RenderedIconCache, RemembersATextThatDoesNotRender)
{
    int renders = 0;
    RenderedIconCache cache([&](const QString&) {
        ++renders;
        return QImage();
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(cache.image(QStringLiteral("<svg broken")).isNull());
    EXPECT_EQ(renders, 1);
}

TEST(RenderedIconCache, ASecondCallerWaitsForTheRenderInProgressAndGetsItsImage)
{
    QAtomicInt renders = 0;
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool released = false;
    RenderedIconCache cache([&](const QString&) {
        renders.fetchAndAddRelaxed(1);
        std::unique_lock lock(mutex);
        started = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return released; });
        return solid(4);
    });
    QImage first;
    std::thread rendering([&] { first = cache.image(QStringLiteral("<svg slow/>")); });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started; });
    }
    std::atomic<pid_t> secondThread = 0;
    QImage second;
    std::thread waiting([&] {
        secondThread = ::gettid();
        second = cache.image(QStringLiteral("<svg slow/>"));
    });
    // The render goes on until the second caller sleeps: waiting for it, or (were it to render
    // the text again) in a render of its own, which the count would show.
    EXPECT_TRUE(QTest::qWaitFor([&] { return secondThread != 0 && threadSleeps(secondThread); }, 5000));
    {
        const std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    rendering.join();
    waiting.join();
    EXPECT_EQ(renders.loadRelaxed(), 1);
    EXPECT_EQ(second.cacheKey(), first.cacheKey());
}
