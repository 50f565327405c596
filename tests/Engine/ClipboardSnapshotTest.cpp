#include "Engine/SystemExpansionClipboard.h"
#include "FakePasteboard.h"

#include <gtest/gtest.h>

namespace {

PasteboardItem itemWithTypes(int count)
{
    PasteboardItem item;
    for (int i = 0; i < count; ++i)
        item.append({QStringLiteral("com.example.type%1").arg(i), QByteArray::number(i)});
    return item;
}

} // namespace

TEST(ClipboardSnapshot, SavesEveryItemAndTypeInOrderAndWritesThemBack)
{
    FakePasteboard board;
    const QList<PasteboardItem> contents = {PasteboardItem{{QStringLiteral("text/html"), QByteArray("<i>x</i>")},
                                                {QStringLiteral("text/plain;charset=utf-8"), QByteArray("x")}},
        PasteboardItem{{QStringLiteral("image/png"), QByteArray("\x89PNG\0", 5)}}};
    board.copyFromOtherApplication(contents);
    SystemExpansionClipboard clipboard(board);

    const auto snapshot = clipboard.snapshot();
    ASSERT_TRUE(snapshot);
    ASSERT_EQ(snapshot->size(), 2);
    EXPECT_EQ(snapshot->at(0).representations.at(0).type, QStringLiteral("text/html"));
    EXPECT_EQ(snapshot->at(1).representations.at(0).data, QByteArray("\x89PNG\0", 5));

    board.copyTextFromOtherApplication(QStringLiteral("other"));
    const qint64 before = board.changeCount();
    const ClipboardWriteReceipt receipt = clipboard.write(*snapshot);
    EXPECT_TRUE(receipt.succeeded);
    EXPECT_EQ(receipt.changeCount, before + 1);
    EXPECT_EQ(board.changeCount(), receipt.changeCount);
    EXPECT_EQ(board.items(), contents);
}

TEST(ClipboardSnapshot, EmptyClipboardIsNoItemsAndWritingNoItemsEmptiesIt)
{
    FakePasteboard board;
    SystemExpansionClipboard clipboard(board);
    EXPECT_EQ(clipboard.snapshot(), QList<ClipboardItemSnapshot>());

    board.copyTextFromOtherApplication(QStringLiteral("x"));
    const ClipboardWriteReceipt receipt = clipboard.write({});
    EXPECT_TRUE(receipt.succeeded);
    EXPECT_EQ(board.itemCount(), 0);
    EXPECT_EQ(board.writeCount(), 0);
}

TEST(ClipboardSnapshot, TypesWithoutItemsCannotBeSaved)
{
    FakePasteboard board;
    board.setAnnouncedTypes({QStringLiteral("text/plain;charset=utf-8")});
    SystemExpansionClipboard clipboard(board);
    EXPECT_FALSE(clipboard.snapshot());
}

TEST(ClipboardSnapshot, ItemAndTypeLimits)
{
    FakePasteboard board;
    SystemExpansionClipboard clipboard(board);

    board.copyFromOtherApplication(QList<PasteboardItem>(128, itemWithTypes(1)));
    EXPECT_TRUE(clipboard.snapshot());
    board.copyFromOtherApplication(QList<PasteboardItem>(129, itemWithTypes(1)));
    EXPECT_FALSE(clipboard.snapshot());

    board.copyFromOtherApplication({itemWithTypes(128)});
    EXPECT_TRUE(clipboard.snapshot());
    board.copyFromOtherApplication({itemWithTypes(129)});
    EXPECT_FALSE(clipboard.snapshot());

    board.copyFromOtherApplication({PasteboardItem()});
    EXPECT_FALSE(clipboard.snapshot());
}

TEST(ClipboardSnapshot, SizeLimitCountsEveryTypeOfEveryItem)
{
    FakePasteboard board;
    SystemExpansionClipboard clipboard(board);
    const qsizetype half = SystemExpansionClipboard::largestSnapshotBytes / 2;
    const PasteboardItem first{{QStringLiteral("a"), QByteArray(half, 'a')}};
    board.copyFromOtherApplication({first, PasteboardItem{{QStringLiteral("b"), QByteArray(half, 'b')}}});
    EXPECT_TRUE(clipboard.snapshot());
    board.copyFromOtherApplication({first, PasteboardItem{{QStringLiteral("b"), QByteArray(half + 1, 'b')}}});
    EXPECT_FALSE(clipboard.snapshot());
}

TEST(ClipboardSnapshot, UnreadableTypeOrAChangeWhileReadingFails)
{
    FakePasteboard board;
    SystemExpansionClipboard clipboard(board);
    board.copyFromOtherApplication({itemWithTypes(3)});
    board.setUnreadableType(QStringLiteral("com.example.type2"));
    EXPECT_FALSE(clipboard.snapshot());

    board.setUnreadableType(QString());
    board.setOnRead([&] { board.copyFromOtherApplication({itemWithTypes(3)}); });
    EXPECT_FALSE(clipboard.snapshot());
}

TEST(ClipboardSnapshot, RefusedWriteReportsFailureWithTheClearedCount)
{
    FakePasteboard board;
    board.setRefusesWrites(true);
    SystemExpansionClipboard clipboard(board);
    const ClipboardWriteReceipt receipt
        = clipboard.write({ClipboardItemSnapshot{{{QStringLiteral("a"), QByteArray("x")}}}});
    EXPECT_FALSE(receipt.succeeded);
    EXPECT_EQ(receipt.changeCount, board.changeCount());
}
