#include "LibraryFixtures.h"
#include "Persistence/PromptTextImport.h"
#include "Utilities/Uuid.h"

#include <gtest/gtest.h>

using namespace LibraryFixtures;
using PromptTextImport::RenamedTrigger;

namespace {

PromptTextImport::Plan planFor(const QString& text, const UserData& library)
{
    return PromptTextImport::plan(PromptTextImport::parse(text), library);
}

UserData libraryWithWork()
{
    UserData d;
    Group work = folder("G1", "Work", std::nullopt, 4);
    work.icon = "briefcase";
    work.color = "#112233";
    d.groups = {work, folder("G2", "Home", std::nullopt, 9), folder("G3", "Mail", "G1", 2)};
    d.shortcuts = {shortcut("S1", "/sig", "G1", 5), shortcut("S2", "/sig(2)")};
    d.customIcons = {CustomIcon{"I1", "Star", "<svg/>"}};
    d.deletedIds.shortcuts = {tombstone("S-GONE")};
    return d;
}

} // namespace

TEST(PresetTextPlan, TakenTriggerGetsTheFirstFreeNumber)
{
    const auto plan = planFor(QStringLiteral("/sig \u2192 a\n/ty \u2192 b\n/ty \u2192 c"), libraryWithWork());
    const QList<Shortcut> added = plan.library.shortcuts.mid(2);
    ASSERT_EQ(added.size(), 3);
    EXPECT_EQ(added.at(0).trigger, "/sig(3)");
    EXPECT_EQ(added.at(1).trigger, "/ty");
    EXPECT_EQ(added.at(2).trigger, "/ty(2)");
    EXPECT_EQ(plan.renamedTriggers, QList<RenamedTrigger>({{"/sig", "/sig(3)"}, {"/ty", "/ty(2)"}}));
}

TEST(PresetTextPlan, NumberedFormThatIsReadTooIsSkipped)
{
    UserData library;
    library.shortcuts = {shortcut("S1", "/sig")};
    const auto plan = planFor(QStringLiteral("/sig \u2192 a\n/sig(2) \u2192 b"), library);
    EXPECT_EQ(plan.library.shortcuts.at(1).trigger, "/sig(3)");
    EXPECT_EQ(plan.library.shortcuts.at(2).trigger, "/sig(2)");
}

TEST(PresetTextPlan, MatchingFolderTakesTheShortcutsAfterItsOwn)
{
    const UserData library = libraryWithWork();
    const auto plan = planFor(QStringLiteral("Work [rocket #ffffff]:\n/new \u2192 x"), library);
    EXPECT_EQ(plan.addedGroupCount, 0);
    EXPECT_EQ(plan.library.groups, library.groups); // icon and colour stay
    const Shortcut& added = plan.library.shortcuts.last();
    EXPECT_EQ(added.groupId, "G1");
    EXPECT_EQ(added.order, 6);
}

TEST(PresetTextPlan, NewFolderIsOrderedAfterItsSiblingsWithTheReadDecorations)
{
    const UserData library = libraryWithWork();
    const auto plan = planFor(QStringLiteral("Work/Drafts [book #abc]:\n/d \u2192 x\n\nTravel:\n/t \u2192 y"), library);
    EXPECT_EQ(plan.addedGroupCount, 2);
    const Group& drafts = plan.library.groups.at(3);
    EXPECT_EQ(drafts.name, "Drafts");
    EXPECT_EQ(drafts.parentGroupId, "G1");
    EXPECT_EQ(drafts.order, 3);
    EXPECT_EQ(drafts.icon, "book");
    EXPECT_EQ(drafts.color, "#abc");
    EXPECT_EQ(drafts.visibility, "private");
    EXPECT_FALSE(drafts.collapsed || drafts.shareId);
    EXPECT_TRUE(Uuid::parse(drafts.id));
    const Group& travel = plan.library.groups.at(4);
    EXPECT_FALSE(travel.parentGroupId);
    EXPECT_EQ(travel.order, 10);
    EXPECT_EQ(plan.library.shortcuts.at(2).groupId, drafts.id);
    EXPECT_EQ(plan.library.shortcuts.at(2).order, 0);
    EXPECT_EQ(plan.library.shortcuts.at(3).groupId, travel.id);
}

TEST(PresetTextPlan, EveryReadShortcutIsAddedUnderAFreshId)
{
    const UserData library = libraryWithWork();
    const PromptTextImport::Parsed parsed = PromptTextImport::parse(QStringLiteral("/a \u2192 x\n/b \u2192 y"));
    const auto plan = PromptTextImport::plan(parsed, library);
    EXPECT_EQ(plan.addedShortcutCount, 2);
    ASSERT_EQ(plan.library.shortcuts.size(), 4);
    EXPECT_NE(plan.library.shortcuts.at(2).id, parsed.shortcuts.at(0).id);
    EXPECT_TRUE(Uuid::parse(plan.library.shortcuts.at(2).id));
    EXPECT_EQ(plan.library.shortcuts.at(2).order, 1); // after /sig(2) at the top level
    EXPECT_EQ(plan.library.shortcuts.at(3).order, 2);
}

TEST(PresetTextPlan, IconsAndDeletionMarkersAreKept)
{
    const UserData library = libraryWithWork();
    const auto plan = planFor(QStringLiteral("Notes:"), library);
    EXPECT_EQ(plan.library.customIcons, library.customIcons);
    EXPECT_EQ(plan.library.deletedIds, library.deletedIds);
    EXPECT_EQ(plan.addedShortcutCount, 0);
    EXPECT_EQ(plan.addedGroupCount, 1);
}

TEST(PresetTextPlan, SameTextTwiceAddsNoFolderTheSecondTime)
{
    const QString text = QStringLiteral("Work/Mail:\n/m \u2192 x");
    const auto first = planFor(text, UserData::empty());
    const auto second = planFor(text, first.library);
    EXPECT_EQ(second.addedGroupCount, 0);
    EXPECT_EQ(second.library.shortcuts.last().trigger, "/m(2)");
    EXPECT_EQ(second.library.shortcuts.last().order, 1);
}

TEST(PresetTextPlan, InvalidLibraryIsReportedByItsValidation)
{
    UserData broken;
    broken.shortcuts = {shortcut("S1", "/a", "MISSING")};
    try {
        planFor(QStringLiteral("/b \u2192 x"), broken);
        FAIL() << "the plan was made";
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.errorDescription(), "A shortcut points to a missing folder.");
    }
}
