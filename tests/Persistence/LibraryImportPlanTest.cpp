#include "Persistence/LibraryImportPlan.h"
#include "LibraryFixtures.h"
#include "Utilities/Uuid.h"

#include <gtest/gtest.h>

using namespace LibraryFixtures;
using PromptTextImport::RenamedTrigger;

namespace {

const CustomIcon star{QStringLiteral("I1"), QStringLiteral("Star"), QStringLiteral("<svg id='star'/>")};

// A library with every kind of item: nested folders (one public and shared), custom icons,
// shortcuts inside and outside folders, and deletion markers.
UserData richLibrary()
{
    UserData d;
    Group work = folder("G1", "Work", std::nullopt, 3);
    work.icon = star.iconKey();
    work.color = "#3366FF";
    work.visibility = "private";
    Group mail = folder("G2", "Mail", "G1", 0);
    mail.collapsed = true;
    Group shared = folder("G3", "Shared", std::nullopt, 1);
    shared.visibility = "public";
    shared.shareId = "share-1";
    d.groups = {work, mail, shared};
    d.shortcuts
        = {shortcut("S1", "/sig", "G2", 4), shortcut("S2", "/addr", std::nullopt, 1), shortcut("S3", "/team", "G3", 0)};
    d.shortcuts[1].isExample = true;
    d.customIcons = {star, CustomIcon{"I2", "Moon", "<svg id='moon'/>"}};
    d.deletedIds.shortcuts = {tombstone("S-GONE")};
    d.deletedIds.groups = {tombstone("G-GONE")};
    return d;
}

QString failureOf(const UserData& imported, const UserData& current)
{
    try {
        LibraryImportPlan::merge(imported, current);
    } catch (const DecodingError& e) {
        return e.errorDescription();
    }
    return QStringLiteral("<merged>");
}

} // namespace

// ---- Recognising what is already there

TEST(LibraryImportMerge, ImportingALibraryIntoItselfAddsNothing)
{
    const UserData library = richLibrary();
    const LibraryImportPlan plan = LibraryImportPlan::merge(library, library);
    EXPECT_EQ(plan.addedShortcutCount, 0);
    EXPECT_EQ(plan.addedGroupCount, 0);
    EXPECT_EQ(plan.addedIconCount, 0);
    EXPECT_EQ(plan.unchangedShortcutCount, 3);
    EXPECT_TRUE(plan.renamedTriggers.isEmpty());
    EXPECT_EQ(VelmoraJSON::encode(plan.library), VelmoraJSON::encode(library));
}

TEST(LibraryImportMerge, EqualSiblingFoldersEachMatchThemselves)
{
    UserData library;
    library.groups = {folder("A", "Inbox"), folder("B", "Inbox", std::nullopt, 1)};
    library.shortcuts = {shortcut("S1", "/one", "A"), shortcut("S2", "/two", "B")};
    const LibraryImportPlan plan = LibraryImportPlan::merge(library, library);
    EXPECT_EQ(plan.addedShortcutCount, 0);
    EXPECT_EQ(plan.unchangedShortcutCount, 2);
    EXPECT_EQ(VelmoraJSON::encode(plan.library), VelmoraJSON::encode(library));
}

TEST(LibraryImportMerge, ShortcutDifferingOnlyInOrderIsUnchanged)
{
    const UserData library = richLibrary();
    UserData imported = library;
    imported.shortcuts[0].order = 99;
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.unchangedShortcutCount, 3);
    EXPECT_EQ(plan.addedShortcutCount, 0);
}

TEST(LibraryImportMerge, ShortcutWithSameIdButOtherTextIsAddedUnderAFreshId)
{
    const UserData library = richLibrary();
    UserData imported;
    imported.shortcuts = {shortcut("S2", "/addr")}; // library's S2 is an example, this is not
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.addedShortcutCount, 1);
    const Shortcut& added = plan.library.shortcuts.last();
    EXPECT_NE(added.id, "S2");
    EXPECT_TRUE(Uuid::parse(added.id));
    EXPECT_EQ(added.trigger, "/addr(2)");
    EXPECT_EQ(plan.renamedTriggers, QList<RenamedTrigger>({{"/addr", "/addr(2)"}}));
}

TEST(LibraryImportMerge, EqualFoldersUnderOneParentBecomeOne)
{
    UserData imported;
    Group first = folder("A", "Inbox");
    Group second = folder("B", "Inbox", std::nullopt, 1);
    second.visibility = "private";
    imported.groups = {first, second};
    imported.shortcuts = {shortcut("S1", "/one", "A"), shortcut("S2", "/two", "B", 1)};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, UserData::empty());
    ASSERT_EQ(plan.library.groups.size(), 1);
    EXPECT_EQ(plan.library.shortcuts.at(1).groupId, "A");
    EXPECT_EQ(plan.library.shortcuts.at(1).order, 1);
}

TEST(LibraryImportMerge, ImportedFolderLandsInTheMatchingLibraryFolderAfterItsShortcuts)
{
    const UserData library = richLibrary();
    UserData imported;
    Group work = library.groups.at(0);
    work.id = "OTHER-WORK";
    work.order = 0;
    work.visibility.reset(); // absent reads as private
    imported.groups = {work};
    imported.customIcons = {star};
    imported.shortcuts = {shortcut("NEW", "/new", "OTHER-WORK")};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.addedGroupCount, 0);
    EXPECT_EQ(plan.addedIconCount, 0);
    const Shortcut* added = shortcutWithTrigger(plan.library, "/new");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->groupId, "G1");
    EXPECT_EQ(added->order, 0);
}

TEST(LibraryImportMerge, PublicFolderIsCopiedAgainOnEveryImport)
{
    UserData file;
    Group shared = folder("P", "Shared");
    shared.visibility = "public";
    shared.shareId = "abc";
    file.groups = {shared};
    const LibraryImportPlan first = LibraryImportPlan::merge(file, UserData::empty());
    ASSERT_EQ(first.library.groups.size(), 1);
    EXPECT_EQ(first.library.groups.first().visibility, "private");
    EXPECT_FALSE(first.library.groups.first().shareId);
    const LibraryImportPlan second = LibraryImportPlan::merge(file, first.library);
    EXPECT_EQ(second.addedGroupCount, 1);
    EXPECT_NE(second.library.groups.last().id, "P");
}

// ---- Adding what is new

TEST(LibraryImportMerge, IntoTheEmptyLibraryEverythingIsCopiedAndRenumbered)
{
    UserData imported;
    Group b = folder("B", "Beta", std::nullopt, 7);
    b.visibility = "unlisted";
    b.shareId = "s";
    imported.groups = {b, folder("A", "Alpha", std::nullopt, 2), folder("A1", "Inner", "A", 40)};
    imported.shortcuts
        = {shortcut("S1", "/x", std::nullopt, 9), shortcut("S2", "/x", std::nullopt, 3), shortcut("S3", "/y", "A1", 5)};
    imported.customIcons = {star};
    imported.deletedIds.shortcuts = {tombstone("OLD")};

    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, UserData::empty());
    const UserData& lib = plan.library;
    ASSERT_EQ(lib.groups.size(), 3);
    // Top-level folders in ascending order, each followed by its subfolders.
    EXPECT_EQ(lib.groups.at(0).id, "A");
    EXPECT_EQ(lib.groups.at(0).order, 0);
    EXPECT_EQ(lib.groups.at(1).id, "A1");
    EXPECT_EQ(lib.groups.at(1).order, 0);
    EXPECT_EQ(lib.groups.at(2).id, "B");
    EXPECT_EQ(lib.groups.at(2).order, 1);
    EXPECT_EQ(lib.groups.at(2).visibility, "private");
    EXPECT_FALSE(lib.groups.at(2).shareId);

    ASSERT_EQ(lib.shortcuts.size(), 3);
    EXPECT_EQ(lib.shortcuts.at(0).id, "S2");
    EXPECT_EQ(lib.shortcuts.at(0).trigger, "/x");
    EXPECT_EQ(lib.shortcuts.at(0).order, 0);
    EXPECT_EQ(lib.shortcuts.at(1).id, "S3");
    EXPECT_EQ(lib.shortcuts.at(1).order, 0);
    EXPECT_EQ(lib.shortcuts.at(2).id, "S1");
    EXPECT_EQ(lib.shortcuts.at(2).trigger, "/x(2)");
    EXPECT_EQ(lib.shortcuts.at(2).order, 1);
    EXPECT_EQ(plan.renamedTriggers, QList<RenamedTrigger>({{"/x", "/x(2)"}}));

    EXPECT_EQ(lib.customIcons, QList<CustomIcon>({star}));
    EXPECT_TRUE(lib.deletedIds.shortcuts.isEmpty()); // the file's markers are not taken over
    EXPECT_EQ(plan.addedGroupCount, 3);
    EXPECT_EQ(plan.addedShortcutCount, 3);
    EXPECT_EQ(plan.addedIconCount, 1);
    EXPECT_EQ(plan.unchangedShortcutCount, 0);
}

TEST(LibraryImportMerge, TakenTriggersGetTheNextFreeNumber)
{
    UserData library;
    library.shortcuts = {shortcut("L1", "/sig"), shortcut("L2", "/sig(2)")};
    UserData imported;
    imported.shortcuts = {shortcut("I1", "/sig"), shortcut("I2", "/sig", std::nullopt, 1)};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.library.shortcuts.at(2).trigger, "/sig(3)");
    EXPECT_EQ(plan.library.shortcuts.at(3).trigger, "/sig(4)");
    EXPECT_EQ(plan.renamedTriggers, QList<RenamedTrigger>({{"/sig", "/sig(3)"}, {"/sig", "/sig(4)"}}));
}

TEST(LibraryImportMerge, NumberedFormArrivingInTheSameFileIsNotHandedOut)
{
    UserData library;
    library.shortcuts = {shortcut("L1", "/sig")};
    UserData imported;
    imported.shortcuts = {shortcut("I1", "/sig"), shortcut("I2", "/sig(2)", std::nullopt, 1)};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.library.shortcuts.at(1).trigger, "/sig(3)");
    EXPECT_EQ(plan.library.shortcuts.at(2).trigger, "/sig(2)");
}

TEST(LibraryImportMerge, NoAddedItemTakesAnIdInUseOrTombstoned)
{
    UserData library = richLibrary();
    library.deletedIds.customIcons = {tombstone("I-GONE")};
    UserData imported;
    imported.groups = {folder("G-GONE", "Fresh"), folder("G1", "Also fresh")};
    imported.shortcuts = {shortcut("S-GONE", "/gone"), shortcut("S1", "/other")};
    imported.customIcons = {CustomIcon{"I-GONE", "Sun", "<svg/>"}};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    for (const Group& g : plan.library.groups.mid(library.groups.size()))
        EXPECT_TRUE(Uuid::parse(g.id)) << g.id.toStdString();
    for (const Shortcut& s : plan.library.shortcuts.mid(library.shortcuts.size()))
        EXPECT_TRUE(Uuid::parse(s.id)) << s.id.toStdString();
    EXPECT_TRUE(Uuid::parse(plan.library.customIcons.last().id));
    EXPECT_EQ(plan.library.deletedIds, library.deletedIds);
}

TEST(LibraryImportMerge, CustomIconKeysFollowTheIconsNewId)
{
    UserData library;
    library.customIcons = {CustomIcon{"I1", "Other", "<svg id='other'/>"}};
    UserData imported;
    Group withMoved = folder("A", "Starred");
    withMoved.icon = star.iconKey();
    Group withForeign = folder("B", "Foreign", std::nullopt, 1);
    withForeign.icon = "custom:NOT-IN-FILE";
    Group withEmoji = folder("C", "Fun", std::nullopt, 2);
    withEmoji.icon = "\U0001F600";
    imported.groups = {withMoved, withForeign, withEmoji};
    imported.customIcons = {star};

    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    ASSERT_EQ(plan.library.customIcons.size(), 2);
    const QString newId = plan.library.customIcons.last().id;
    EXPECT_NE(newId, "I1");
    EXPECT_EQ(plan.library.customIcons.last().svg, star.svg);
    EXPECT_EQ(plan.library.groups.at(0).icon, "custom:" + newId);
    EXPECT_EQ(plan.library.groups.at(1).icon, "custom:NOT-IN-FILE");
    EXPECT_EQ(plan.library.groups.at(2).icon, "\U0001F600");
    EXPECT_EQ(plan.addedIconCount, 1);
}

TEST(LibraryImportMerge, NewSubfolderOfAMatchedFolderIsOrderedAfterItsSiblings)
{
    const UserData library = richLibrary();
    UserData imported;
    Group work = library.groups.at(0);
    imported.groups = {work, folder("NEWSUB", "Drafts", "G1", 0)};
    imported.customIcons = {star};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    ASSERT_EQ(plan.addedGroupCount, 1);
    const Group& added = plan.library.groups.last();
    EXPECT_EQ(added.parentGroupId, "G1");
    EXPECT_EQ(added.order, 1); // Mail is at 0
}

TEST(LibraryImportMerge, TombstoneOfALiveItemIsDropped)
{
    UserData library;
    library.groups = {folder("G1", "Work")};
    library.deletedIds.groups = {tombstone("G1")};
    library.deletedIds.shortcuts = {tombstone("G1")};
    const LibraryImportPlan plan = LibraryImportPlan::merge(UserData::empty(), library);
    EXPECT_TRUE(plan.library.deletedIds.groups.isEmpty());
    EXPECT_EQ(plan.library.deletedIds.shortcuts.size(), 1);
}

TEST(LibraryImportMerge, OrderNextToTheLargestPossibleOrderDoesNotOverflow)
{
    UserData library;
    library.shortcuts = {shortcut("L1", "/a", std::nullopt, std::numeric_limits<qint64>::max())};
    UserData imported;
    imported.shortcuts = {shortcut("I1", "/b")};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.library.shortcuts.last().order, std::numeric_limits<qint64>::max());
}

TEST(LibraryImportMerge, CanonicallyEqualTriggersClash)
{
    UserData library;
    library.shortcuts = {shortcut("L1", "caf\u00e9")};
    UserData imported;
    imported.shortcuts = {shortcut("I1", "cafe\u0301")};
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, library);
    EXPECT_EQ(plan.library.shortcuts.last().trigger, "cafe\u0301(2)");
}

TEST(LibraryImportMerge, DeeplyNestedFoldersMergeWithoutRecursion)
{
    UserData imported;
    const int depth = 100000;
    imported.groups.reserve(depth);
    for (int i = 0; i < depth; ++i)
        imported.groups.append(
            folder(QString::number(i), "f", i ? std::optional(QString::number(i - 1)) : std::nullopt));
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, UserData::empty());
    EXPECT_EQ(plan.addedGroupCount, depth);
}

// ---- Failures

TEST(LibraryImportMerge, InvalidImportedLibraryThrowsBeforeAnythingIsMerged)
{
    UserData imported;
    imported.groups = {folder("X", "One"), folder("X", "Two")};
    EXPECT_EQ(failureOf(imported, richLibrary()), "Library contains empty or duplicate identifiers.");
}

TEST(LibraryImportMerge, InvalidCurrentLibraryThrows)
{
    UserData current;
    current.shortcuts = {shortcut("S", "/a", "MISSING")};
    EXPECT_EQ(failureOf(UserData::empty(), current), "A shortcut points to a missing folder.");
}
