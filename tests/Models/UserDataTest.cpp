#include "Models/UserData.h"
#include "ManualClock.h"
#include "ModelTestSupport.h"

namespace {

const QString kBadIds = QStringLiteral("Library contains empty or duplicate identifiers.");
const QString kEmptyText = QStringLiteral("Library contains an empty shortcut trigger or text.");
const QString kBadFolders = QStringLiteral("Library contains a missing parent or circular folder relationship.");
const QString kMissingFolder = QStringLiteral("A shortcut points to a missing folder.");

Group folder(const QString& id, std::optional<QString> parent = std::nullopt)
{
    Group g;
    g.id = id;
    g.name = QStringLiteral("Folder ") + id;
    g.parentGroupId = std::move(parent);
    return g;
}

Shortcut shortcut(const QString& id, const QString& trigger, std::optional<QString> groupId = std::nullopt)
{
    return Shortcut{id, trigger, QStringLiteral("text of ") + trigger, std::move(groupId), 0, std::nullopt};
}

Tombstone marker(const QString& id, const QString& at = QStringLiteral("2025-03-01T09:30:00Z"))
{
    return Tombstone{id, at};
}

// The sentence validate() fails with, or the empty text when it passes.
QString validation(const UserData& data)
{
    try {
        data.validate();
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind(), DecodingError::Kind::dataCorrupted);
        EXPECT_TRUE(e.codingPath().isEmpty());
        return e.errorDescription();
    }
    return {};
}

UserData sample()
{
    UserData d;
    d.groups = {folder(QStringLiteral("G1")), folder(QStringLiteral("G2"), QStringLiteral("G1"))};
    d.shortcuts = {shortcut(QStringLiteral("S1"), QStringLiteral("/a"), QStringLiteral("G2")),
        shortcut(QStringLiteral("S2"), QStringLiteral("/b"))};
    d.customIcons = {CustomIcon{QStringLiteral("I1"), QStringLiteral("Star"), QStringLiteral("<svg/>")}};
    d.deletedIds.shortcuts = {marker(QStringLiteral("S9"))};
    return d;
}

} // namespace

// ------------------------------------------------------------------ reading

TEST(LibraryReading, ObjectWithoutAnyLibraryKeyIsNotALibrary)
{
    EXPECT_EQ(readFailure<UserData>("{}"), QStringLiteral("Not a Velmora library."));
    EXPECT_EQ(readFailure<UserData>(R"({"settings":{},"version":1})"), QStringLiteral("Not a Velmora library."));
}

TEST(LibraryReading, NonObjectFailsWithTheTypeError)
{
    const auto e = errorThrownBy<DecodingError>([] { VelmoraJSON::decode<UserData>("[]"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind(), DecodingError::Kind::typeMismatch);
}

TEST(LibraryReading, OnlyEmptyDeletionMarkersIsTheEmptyLibrary)
{
    const UserData d = VelmoraJSON::decode<UserData>(R"({"deletedIds":{"groups":[],"shortcuts":[],"customIcons":[]}})");
    EXPECT_EQ(d, UserData::empty());
    EXPECT_EQ(VelmoraJSON::decode<UserData>(R"({"customIcons":[]})"), UserData::empty());
}

TEST(LibraryReading, NullListFailsButNullDeletionMarkersReadAsNone)
{
    EXPECT_EQ(readFailurePath<UserData>(R"({"groups":null})"), QStringLiteral("groups"));
    EXPECT_EQ(readFailurePath<UserData>(R"({"shortcuts":{}})"), QStringLiteral("shortcuts"));
    const UserData d = VelmoraJSON::decode<UserData>(R"({"shortcuts":[],"deletedIds":null})");
    EXPECT_EQ(d.deletedIds, TombstoneSet());
    const UserData partial = VelmoraJSON::decode<UserData>(
        R"({"deletedIds":{"groups":null,"shortcuts":[{"id":"S","deletedAt":"whenever"}]}})");
    EXPECT_TRUE(partial.deletedIds.groups.isEmpty());
    ASSERT_EQ(partial.deletedIds.shortcuts.size(), 1);
    EXPECT_EQ(partial.deletedIds.shortcuts[0].deletedAt, QStringLiteral("whenever"));
}

TEST(LibraryReading, TombstoneNeedsBothKeys)
{
    EXPECT_EQ(
        readFailurePath<UserData>(R"({"deletedIds":{"groups":[{"id":"G"}]}})"), QStringLiteral("deletedIds.groups[0]"));
    EXPECT_EQ(readFailurePath<UserData>(R"({"deletedIds":{"groups":[{"deletedAt":"x"}]}})"),
        QStringLiteral("deletedIds.groups[0]"));
}

TEST(LibraryReading, OrderGivenAsTextFailsTheWholeLibrary)
{
    const QByteArray json = R"({"groups":[],"shortcuts":[
        {"id":"S1","trigger":"/a","expansion":"A","order":1},
        {"id":"S2","trigger":"/b","expansion":"B","order":"3"}]})";
    const auto e = errorThrownBy<DecodingError>([&] { VelmoraJSON::decode<UserData>(json); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind(), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(e->codingPath(), QStringLiteral("shortcuts[1].order"));
}

TEST(LibraryReading, UnknownKeysAreIgnored)
{
    const UserData d = VelmoraJSON::decode<UserData>(
        R"({"shortcuts":[{"id":"S","trigger":"t","expansion":"e","colour":"red"}],"version":9})");
    ASSERT_EQ(d.shortcuts.size(), 1);
    EXPECT_EQ(d.shortcuts[0].trigger, QStringLiteral("t"));
}

TEST(LibraryReading, AnAssembledLibraryIsValidated)
{
    EXPECT_EQ(readFailure<UserData>(R"({"shortcuts":[{"id":"S","trigger":"t","expansion":"e","groupId":"nowhere"}]})"),
        kMissingFolder);
    EXPECT_EQ(readFailure<UserData>(R"({"groups":[{"id":"A","name":"a","parentGroupId":"A"}]})"), kBadFolders);
}

// ------------------------------------------------------------------ writing

TEST(LibraryWriting, EmptyLibraryWritesAllKeysAndAllMarkerLists)
{
    const QJsonObject o = UserData::empty().toJson().toObject();
    EXPECT_EQ(o.keys(),
        QStringList({QStringLiteral("customIcons"), QStringLiteral("deletedIds"), QStringLiteral("groups"),
            QStringLiteral("shortcuts")}));
    const QJsonObject markers = o.value(QStringLiteral("deletedIds")).toObject();
    EXPECT_EQ(markers.keys(),
        QStringList({QStringLiteral("customIcons"), QStringLiteral("groups"), QStringLiteral("shortcuts")}));
    for (const QJsonValue& list : markers)
        EXPECT_EQ(list, QJsonArray());
}

TEST(LibraryWriting, RoundTripIsByteStableAndKeepsEveryItem)
{
    const UserData d = sample();
    EXPECT_TRUE(roundTripsByteForByte(d));
    EXPECT_EQ(VelmoraJSON::decode<UserData>(VelmoraJSON::encode(d)), d);
}

TEST(LibraryWriting, MarkerOrderDoesNotChangeTheBytes)
{
    UserData a = UserData::empty();
    a.deletedIds.groups = {marker(QStringLiteral("B")), marker(QStringLiteral("A")), marker(QStringLiteral("C"))};
    UserData b = a;
    std::reverse(b.deletedIds.groups.begin(), b.deletedIds.groups.end());
    EXPECT_EQ(VelmoraJSON::encode(a), VelmoraJSON::encode(b));
}

// ------------------------------------------------------------------ validation

TEST(LibraryValidation, SampleLibraryPasses)
{
    EXPECT_EQ(validation(sample()), QString());
    EXPECT_EQ(validation(UserData::empty()), QString());
}

TEST(LibraryValidation, DuplicateOrEmptyIdsFailPerKind)
{
    UserData d = sample();
    d.groups.append(folder(QStringLiteral("G1")));
    EXPECT_EQ(validation(d), kBadIds);

    d = sample();
    d.shortcuts.append(shortcut(QString(), QStringLiteral("/z")));
    EXPECT_EQ(validation(d), kBadIds);

    d = sample();
    d.customIcons.append(d.customIcons[0]);
    EXPECT_EQ(validation(d), kBadIds);
}

TEST(LibraryValidation, CanonicallyEquivalentIdsAreDuplicates)
{
    UserData d;
    d.shortcuts = {shortcut(QStringLiteral("caf\u00E9"), QStringLiteral("/a")),
        shortcut(QStringLiteral("cafe\u0301"), QStringLiteral("/b"))};
    EXPECT_EQ(validation(d), kBadIds);
}

TEST(LibraryValidation, SameIdAcrossKindsPasses)
{
    UserData d;
    d.groups = {folder(QStringLiteral("X"))};
    d.shortcuts = {shortcut(QStringLiteral("X"), QStringLiteral("/x"), QStringLiteral("X"))};
    d.customIcons = {CustomIcon{QStringLiteral("X"), QStringLiteral("n"), QStringLiteral("<svg/>")}};
    d.deletedIds.groups = {marker(QStringLiteral("Y"))};
    d.deletedIds.shortcuts = {marker(QStringLiteral("Y"))};
    EXPECT_EQ(validation(d), QString());
}

TEST(LibraryValidation, SpacesCountAsContentButEmptyTextFails)
{
    UserData d;
    d.shortcuts
        = {Shortcut{QStringLiteral("S"), QStringLiteral("/s"), QStringLiteral(" "), std::nullopt, 0, std::nullopt}};
    EXPECT_EQ(validation(d), QString());
    d.shortcuts[0].expansion = QString();
    EXPECT_EQ(validation(d), kEmptyText);
    d.shortcuts[0].expansion = QStringLiteral("x");
    d.shortcuts[0].trigger.clear();
    EXPECT_EQ(validation(d), kEmptyText);
}

TEST(LibraryValidation, EmptyTriggerIsReportedBeforeBrokenFolders)
{
    UserData d;
    d.groups = {folder(QStringLiteral("A"), QStringLiteral("B")), folder(QStringLiteral("B"), QStringLiteral("A"))};
    d.shortcuts = {shortcut(QStringLiteral("S"), QString())};
    EXPECT_EQ(validation(d), kEmptyText);
}

TEST(LibraryValidation, DuplicateIdsAreReportedBeforeEmptyTriggers)
{
    UserData d;
    d.shortcuts = {shortcut(QStringLiteral("S"), QString()), shortcut(QStringLiteral("S"), QStringLiteral("/s"))};
    EXPECT_EQ(validation(d), kBadIds);
}

TEST(LibraryValidation, FolderCyclesAndMissingParentsFail)
{
    UserData cycle;
    cycle.groups = {folder(QStringLiteral("A"), QStringLiteral("B")), folder(QStringLiteral("B"), QStringLiteral("A"))};
    EXPECT_EQ(validation(cycle), kBadFolders);

    UserData self;
    self.groups = {folder(QStringLiteral("A"), QStringLiteral("A"))};
    EXPECT_EQ(validation(self), kBadFolders);

    UserData missing;
    missing.groups = {folder(QStringLiteral("A")), folder(QStringLiteral("B"), QStringLiteral("nowhere"))};
    EXPECT_EQ(validation(missing), kBadFolders);

    UserData longCycle;
    longCycle.groups = {folder(QStringLiteral("root")), folder(QStringLiteral("x"), QStringLiteral("root")),
        folder(QStringLiteral("a"), QStringLiteral("c")), folder(QStringLiteral("b"), QStringLiteral("a")),
        folder(QStringLiteral("c"), QStringLiteral("b"))};
    EXPECT_EQ(validation(longCycle), kBadFolders);
}

TEST(LibraryValidation, DeepChainsPassInAnyArrayOrder)
{
    UserData d;
    // Children listed before their parents, so a walk meets folders already known to reach the top.
    for (int i = 2000; i > 0; --i)
        d.groups.append(folder(QString::number(i), QString::number(i - 1)));
    d.groups.append(folder(QStringLiteral("0")));
    EXPECT_EQ(validation(d), QString());
    d.groups.last().parentGroupId = QStringLiteral("1500");
    EXPECT_EQ(validation(d), kBadFolders);
}

TEST(LibraryValidation, ShortcutInMissingFolderFails)
{
    UserData d = sample();
    d.shortcuts[1].groupId = QStringLiteral("gone");
    EXPECT_EQ(validation(d), kMissingFolder);
    d.shortcuts[1].groupId = QStringLiteral("G1");
    EXPECT_EQ(validation(d), QString());
}

TEST(LibraryValidation, FolderIdsMatchUnderCanonicalEquivalence)
{
    UserData d;
    d.groups = {folder(QStringLiteral("caf\u00E9")), folder(QStringLiteral("child"), QStringLiteral("cafe\u0301"))};
    d.shortcuts = {shortcut(QStringLiteral("S"), QStringLiteral("/s"), QStringLiteral("cafe\u0301"))};
    EXPECT_EQ(validation(d), QString());
}

TEST(LibraryValidation, DuplicateMarkersWithinOneListFail)
{
    UserData d = sample();
    d.deletedIds.customIcons
        = {marker(QStringLiteral("Z")), marker(QStringLiteral("Z"), QStringLiteral("2024-01-01T00:00:00Z"))};
    EXPECT_EQ(validation(d), kBadIds);
    d.deletedIds.customIcons = {marker(QString())};
    EXPECT_EQ(validation(d), kBadIds);
}

TEST(LibraryValidation, MissingFolderIsReportedBeforeDuplicateMarkers)
{
    UserData d = sample();
    d.deletedIds.groups = {marker(QStringLiteral("Z")), marker(QStringLiteral("Z"))};
    d.shortcuts[0].groupId = QStringLiteral("gone");
    EXPECT_EQ(validation(d), kMissingFolder);
}

// ------------------------------------------------------------------ duplicate triggers

TEST(DuplicateTriggers, OnlyTriggersUsedMoreThanOnce)
{
    UserData d;
    d.shortcuts = {shortcut(QStringLiteral("1"), QStringLiteral("/a")),
        shortcut(QStringLiteral("2"), QStringLiteral("/b")), shortcut(QStringLiteral("3"), QStringLiteral("/a")),
        shortcut(QStringLiteral("4"), QStringLiteral("/A")), shortcut(QStringLiteral("5"), QStringLiteral("caf\u00E9")),
        shortcut(QStringLiteral("6"), QStringLiteral("cafe\u0301"))};
    EXPECT_EQ(d.duplicateTriggers(), QSet<QString>({QStringLiteral("/a"), QStringLiteral("caf\u00E9")}));
    EXPECT_EQ(validation(d), QString());
    EXPECT_TRUE(sample().duplicateTriggers().isEmpty());
}

// ------------------------------------------------------------------ deletion markers

TEST(RecordDeletion, EmptyListChangesNothing)
{
    UserData d = sample();
    d.deletedIds.shortcuts = {marker(QStringLiteral("B")), marker(QStringLiteral("A"))};
    const UserData before = d;
    d.recordDeletion(TombstoneKind::shortcuts, {});
    EXPECT_EQ(d, before);
}

TEST(RecordDeletion, MarksIdsWithOneWholeSecondUtcTime)
{
    ManualClock clock(QDateTime(QDate(2025, 3, 1), QTime(10, 30, 0, 750), QTimeZone(3600)));
    UserData d = UserData::empty();
    d.recordDeletion(TombstoneKind::groups, {QStringLiteral("G1"), QString(), QStringLiteral("G2")});
    EXPECT_EQ(d.deletedIds.groups, QList<Tombstone>({marker(QStringLiteral("G1")), marker(QStringLiteral("G2"))}));
    EXPECT_TRUE(d.deletedIds.shortcuts.isEmpty());
    EXPECT_TRUE(d.deletedIds.customIcons.isEmpty());
}

TEST(RecordDeletion, RepeatedDeletionKeepsOneMarkerWithTheLaterTime)
{
    ManualClock clock;
    UserData d = UserData::empty();
    d.recordDeletion(TombstoneKind::customIcons, {QStringLiteral("I"), QStringLiteral("J")});
    clock.advance(65);
    d.recordDeletion(TombstoneKind::customIcons, {QStringLiteral("I"), QStringLiteral("I")});
    ASSERT_EQ(d.deletedIds.customIcons.size(), 2);
    EXPECT_EQ(d.deletedIds.customIcons[0], marker(QStringLiteral("I"), QStringLiteral("2025-03-01T09:31:05Z")));
    EXPECT_EQ(d.deletedIds.customIcons[1], marker(QStringLiteral("J"), QStringLiteral("2025-03-01T09:30:00Z")));
    EXPECT_EQ(validation(d), QString());
}

TEST(RecordDeletion, AnIdEqualUnderCanonicalEquivalenceUpdatesItsMarkerAndADuplicateMarkerIsRefused)
{
    ManualClock clock;
    UserData d = UserData::empty();
    d.recordDeletion(TombstoneKind::shortcuts, {QStringLiteral("caf\u00E9"), QStringLiteral("tea")});
    clock.advance(65);
    d.recordDeletion(TombstoneKind::shortcuts, {QStringLiteral("cafe\u0301"), QStringLiteral("caf\u00E9")});
    EXPECT_EQ(d.deletedIds.shortcuts,
        QList<Tombstone>({marker(QStringLiteral("caf\u00E9"), QStringLiteral("2025-03-01T09:31:05Z")),
            marker(QStringLiteral("tea"))}));
    EXPECT_EQ(validation(d), QString());

    d.deletedIds.shortcuts.append(marker(QStringLiteral("cafe\u0301")));
    EXPECT_EQ(validation(d), kBadIds);
}

TEST(RecordDeletion, SameCallsGiveTheSameBytes)
{
    ManualClock clock;
    QStringList ids;
    for (int i = 0; i < 50; ++i)
        ids.append(QStringLiteral("ID-%1").arg(i * 7919 % 101));
    UserData a = UserData::empty();
    UserData b = UserData::empty();
    a.recordDeletion(TombstoneKind::shortcuts, ids);
    b.recordDeletion(TombstoneKind::shortcuts, ids);
    EXPECT_EQ(VelmoraJSON::encode(a), VelmoraJSON::encode(b));
}

TEST(ReconcileTombstones, LiveItemDropsOnlyItsOwnKindsMarker)
{
    UserData d;
    d.groups = {folder(QStringLiteral("X"))};
    d.deletedIds.groups = {marker(QStringLiteral("W")), marker(QStringLiteral("X")), marker(QStringLiteral("V"))};
    d.deletedIds.shortcuts = {marker(QStringLiteral("X"))};
    d.deletedIds.customIcons = {marker(QStringLiteral("X"))};
    d.reconcileTombstones();
    EXPECT_EQ(d.deletedIds.groups, QList<Tombstone>({marker(QStringLiteral("W")), marker(QStringLiteral("V"))}));
    EXPECT_EQ(d.deletedIds.shortcuts, QList<Tombstone>({marker(QStringLiteral("X"))}));
    EXPECT_EQ(d.deletedIds.customIcons, QList<Tombstone>({marker(QStringLiteral("X"))}));
}

TEST(ReconcileTombstones, RevivedShortcutsAndIconsLoseTheirMarkers)
{
    UserData d = sample();
    d.deletedIds.shortcuts = {marker(QStringLiteral("S1")), marker(QStringLiteral("S3"))};
    d.deletedIds.customIcons = {marker(QStringLiteral("I1"))};
    d.reconcileTombstones();
    EXPECT_EQ(d.deletedIds.shortcuts, QList<Tombstone>({marker(QStringLiteral("S3"))}));
    EXPECT_TRUE(d.deletedIds.customIcons.isEmpty());
}
