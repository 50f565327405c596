#include "Views/MenuBar/list/CardTexts.h"
#include "MainListFixture.h"

#include <gtest/gtest.h>

using namespace MainListTesting;

TEST(CardTextsTest, TheFolderLineShowsOnlyWhileSearchingForAShortcutInAnExistingFolder)
{
    Group work = folder(QStringLiteral("W"), QStringLiteral("Work"));
    Group home = folder(QStringLiteral("H"), QStringLiteral("Home"));
    home.icon = QStringLiteral("🏠");
    UserData groups;
    groups.groups = {work, home};
    const Shortcut inWork = shortcut(QStringLiteral("1"), QStringLiteral("/a"), QStringLiteral("W"));
    const Shortcut atHome = shortcut(QStringLiteral("2"), QStringLiteral("/b"), QStringLiteral("H"));
    const Shortcut top = shortcut(QStringLiteral("3"), QStringLiteral("/c"));
    const Shortcut orphan = shortcut(QStringLiteral("4"), QStringLiteral("/d"), QStringLiteral("gone"));

    EXPECT_EQ(CardTexts::labelledFolder(inWork, groups, QString()), nullptr);
    ASSERT_NE(CardTexts::labelledFolder(inWork, groups, QStringLiteral(" ")), nullptr);
    EXPECT_EQ(CardTexts::labelledFolder(inWork, groups, QStringLiteral(" "))->name, QStringLiteral("Work"));
    ASSERT_NE(CardTexts::labelledFolder(atHome, groups, QStringLiteral("b")), nullptr);
    EXPECT_EQ(CardTexts::labelledFolder(atHome, groups, QStringLiteral("b"))->id, QStringLiteral("H"));
    EXPECT_EQ(CardTexts::labelledFolder(top, groups, QStringLiteral("c")), nullptr);
    EXPECT_EQ(CardTexts::labelledFolder(orphan, groups, QStringLiteral("d")), nullptr);
}

TEST(CardTextsTest, ItemCountsAreSingularOnlyForOne)
{
    EXPECT_EQ(CardTexts::itemCount(0), QStringLiteral("0 items"));
    EXPECT_EQ(CardTexts::itemCount(1), QStringLiteral("1 item"));
    EXPECT_EQ(CardTexts::itemCount(2), QStringLiteral("2 items"));
}

TEST(CardTextsTest, AFolderCountsOnlyItsDirectChildren)
{
    UserData data = UserData::empty();
    data.groups = {folder(QStringLiteral("P"), QStringLiteral("Parent")),
        folder(QStringLiteral("C1"), QStringLiteral("One"), QStringLiteral("P")),
        folder(QStringLiteral("C2"), QStringLiteral("Two"), QStringLiteral("P"))};
    for (int i = 0; i < 10; ++i)
        data.shortcuts.append(shortcut(
            QString::number(i), QStringLiteral("/t%1").arg(i), i % 2 ? QStringLiteral("C1") : QStringLiteral("C2")));
    EXPECT_EQ(CardTexts::childCount(data, QStringLiteral("P")), 2);
    EXPECT_EQ(CardTexts::childCount(data, QStringLiteral("C1")), 5);
    EXPECT_EQ(CardTexts::childCount(data, QStringLiteral("none")), 0);
}

TEST(CardTextsTest, TheBannerCountsDistinctSharedTriggers)
{
    EXPECT_EQ(CardTexts::duplicateTriggers(0), QStringLiteral("All triggers are unique"));
    EXPECT_EQ(CardTexts::duplicateTriggers(1), QStringLiteral("1 duplicate trigger"));
    EXPECT_EQ(CardTexts::duplicateTriggers(3), QStringLiteral("3 duplicate triggers"));
}
