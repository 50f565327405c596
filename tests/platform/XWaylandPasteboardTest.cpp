#include <gtest/gtest.h>

#include "platform/linux/XWaylandPasteboard.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// A clipboard reached through an X server that goes away while we run (the compositor stopped
// or lost its XWayland) turns off; the process carries on.
TEST(XWaylandClipboard, aServerThatGoesAwayTurnsTheClipboardOffInsteadOfEndingTheProcess)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "Xvfb is not installed";
    QProcess server;
    server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
    ASSERT_TRUE(server.waitForStarted(10000));
    QByteArray number;
    while (!number.contains('\n') && server.waitForReadyRead(10000))
        number += server.readAllStandardOutput();
    ASSERT_FALSE(number.trimmed().isEmpty());
    const std::unique_ptr<XWaylandPasteboard> board
        = XWaylandPasteboard::create(QStringLiteral(":") + QString::fromLatin1(number.trimmed()));
    ASSERT_TRUE(board);
    const PasteboardItem item{{QStringLiteral("text/plain"), QByteArray("kept")}};
    ASSERT_TRUE(board->writeItems({item}));
    EXPECT_EQ(board->data(0, QStringLiteral("text/plain")), QByteArray("kept"));
    const qint64 count = board->changeCount();

    server.kill();
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_NE(board->changeCount(), count);
    EXPECT_EQ(board->itemCount(), 0);
    EXPECT_FALSE(board->readsByFocusedApplication());
    EXPECT_FALSE(board->writeItems({item}));
    EXPECT_TRUE(board->types().isEmpty());
}

} // namespace
