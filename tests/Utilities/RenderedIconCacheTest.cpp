#include "Utilities/RenderedIconCache.h"

#include <QAtomicInt>
#include <QThread>
#include <gtest/gtest.h>

#include <thread>

namespace {

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
    RenderedIconCache cache([&](const QString&) {
        renders.fetchAndAddRelaxed(1);
        QThread::msleep(100);
        return solid(4);
    });
    QImage fromThread;
    std::thread other([&] { fromThread = cache.image(QStringLiteral("<svg slow/>")); });
    QThread::msleep(20);
    const QImage here = cache.image(QStringLiteral("<svg slow/>"));
    other.join();
    EXPECT_EQ(renders.loadRelaxed(), 1);
    EXPECT_EQ(here.cacheKey(), fromThread.cacheKey());
}
