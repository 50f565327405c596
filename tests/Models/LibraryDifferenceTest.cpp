#include "Models/LibraryDifference.h"
#include "ModelTestSupport.h"
#include "Models/IdHashes.h"
#include "Models/UserData.h"

namespace {

Shortcut shortcut(int n, std::optional<QString> groupId = std::nullopt)
{
    return Shortcut{QStringLiteral("S%1").arg(n), QStringLiteral("/t%1").arg(n), QStringLiteral("text %1").arg(n),
        std::move(groupId), n, std::nullopt};
}

UserData library(int count)
{
    UserData d;
    Group g;
    g.id = QStringLiteral("G");
    g.name = QStringLiteral("Work");
    d.groups = {g};
    for (int i = 0; i < count; ++i)
        d.shortcuts.append(shortcut(i, i % 2 ? std::optional(QStringLiteral("G")) : std::nullopt));
    return d;
}

// The sentence the check of `changed` against the valid `before` fails with, or "" when it
// passes; it must agree with the full check.
QString changeValidation(const UserData& changed, const UserData& before)
{
    QString full;
    try {
        changed.validate();
    } catch (const DecodingError& e) {
        full = e.errorDescription();
    }
    // Both ways of finding a new id among the unchanged ones: a scan, and the earlier
    // library's id counts.
    IdHashes ids;
    ids.follow(before.shortcuts);
    const auto idUses = [&](const QString& id) { return ids.uses(id); };
    QString incremental;
    QString counted;
    try {
        changed.validateChange(before);
    } catch (const DecodingError& e) {
        incremental = e.errorDescription();
    }
    try {
        changed.validateChange(before, idUses);
    } catch (const DecodingError& e) {
        counted = e.errorDescription();
    }
    EXPECT_EQ(incremental, full);
    EXPECT_EQ(counted, full);
    return incremental;
}

} // namespace

TEST(LibraryDifference, EveryKindOfEditIsUndoneExactly)
{
    const UserData before = library(20);
    const std::function<void(UserData&)> edits[] = {
        [](UserData& d) { d.shortcuts[0].expansion += QStringLiteral("!"); },
        [](UserData& d) { d.shortcuts[10].trigger = QStringLiteral("/new"); },
        [](UserData& d) { d.shortcuts.last().order = 99; },
        [](UserData& d) { d.shortcuts.removeAt(7); },
        [](UserData& d) { d.shortcuts.insert(3, shortcut(50)); },
        [](UserData& d) { d.shortcuts.append(shortcut(51)); },
        [](UserData& d) { d.shortcuts.clear(); },
        [](UserData& d) { d.shortcuts.move(2, 15); },
        [](UserData& d) {
            d.groups.clear();
            d.shortcuts.removeIf([](const Shortcut& s) { return s.groupId.has_value(); });
        },
        [](UserData& d) { d.recordDeletion(TombstoneKind::shortcuts, {QStringLiteral("S4")}); },
        [](UserData&) {},
    };
    for (const auto& edit : edits) {
        UserData after = before;
        edit(after);
        // Both ways: an undo entry is kept against the later library, a redo entry against
        // the earlier one.
        EXPECT_EQ(LibraryDifference(before, after).applyTo(after), before);
        EXPECT_EQ(LibraryDifference(after, before).applyTo(before), after);
    }
}

TEST(LibraryDifference, AChainOfEditsUnwindsStepByStep)
{
    QList<UserData> versions = {library(30)};
    for (int i = 0; i < 10; ++i) {
        UserData next = versions.last();
        next.shortcuts[i * 2].expansion = QStringLiteral("edit %1").arg(i);
        if (i % 3 == 0)
            next.shortcuts.removeAt(i);
        versions.append(next);
    }
    QList<LibraryDifference> history;
    for (qsizetype i = 0; i + 1 < versions.size(); ++i)
        history.append(LibraryDifference(versions[i], versions[i + 1]));
    UserData current = versions.last();
    for (qsizetype i = history.size() - 1; i >= 0; --i) {
        current = history[i].applyTo(current);
        EXPECT_EQ(current, versions[i]);
    }
}

TEST(LibraryDifference, ACheckOfOneEditAgreesWithTheFullCheck)
{
    const UserData before = library(10);
    ASSERT_EQ(changeValidation(before, before), QString());

    UserData edited = before;
    edited.shortcuts[4].expansion = QStringLiteral("new text");
    EXPECT_EQ(changeValidation(edited, before), QString());

    UserData duplicateId = before;
    duplicateId.shortcuts.append(shortcut(3));
    EXPECT_EQ(
        changeValidation(duplicateId, before), QStringLiteral("Library contains empty or duplicate identifiers."));

    UserData accented = before;
    accented.shortcuts[2].id = QStringLiteral("caf\u00e9");
    UserData canonicallyEqualId = accented;
    canonicallyEqualId.shortcuts.append(shortcut(20));
    canonicallyEqualId.shortcuts.last().id = QStringLiteral("cafe\u0301");
    EXPECT_EQ(changeValidation(canonicallyEqualId, accented),
        QStringLiteral("Library contains empty or duplicate identifiers."));

    UserData idTakenInTheMiddle = before;
    idTakenInTheMiddle.shortcuts[5].id = QStringLiteral("S9");
    EXPECT_EQ(changeValidation(idTakenInTheMiddle, before),
        QStringLiteral("Library contains empty or duplicate identifiers."));

    UserData swapped = before;
    swapped.shortcuts.swapItemsAt(2, 6);
    EXPECT_EQ(changeValidation(swapped, before), QString());

    UserData emptyText = before;
    emptyText.shortcuts[0].trigger.clear();
    EXPECT_EQ(
        changeValidation(emptyText, before), QStringLiteral("Library contains an empty shortcut trigger or text."));

    UserData lostFolder = before;
    lostFolder.shortcuts[9].groupId = QStringLiteral("nowhere");
    EXPECT_EQ(changeValidation(lostFolder, before), QStringLiteral("A shortcut points to a missing folder."));

    UserData folderGone = before;
    folderGone.groups.clear();
    EXPECT_EQ(changeValidation(folderGone, before), QStringLiteral("A shortcut points to a missing folder."));

    UserData markedTwice = before;
    markedTwice.deletedIds.shortcuts = {Tombstone{QStringLiteral("X"), QStringLiteral("2025-03-01T09:30:00Z")},
        Tombstone{QStringLiteral("X"), QStringLiteral("2025-03-02T09:30:00Z")}};
    EXPECT_EQ(
        changeValidation(markedTwice, before), QStringLiteral("Library contains empty or duplicate identifiers."));
}
