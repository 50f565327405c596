#include "ModelTestSupport.h"
#include "Models/CloudSyncSnapshot.h"
#include "Models/SyncFailure.h"
#include "Models/SyncRecord.h"

#include <QSet>
#include <limits>

namespace {

const QString kUser = QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca427");
const QString kProject = QStringLiteral("https://abcd.supabase.co");

QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

Shortcut shortcut(const QString& id, const QString& trigger, qint64 order = 0)
{
    return Shortcut{id, trigger, QStringLiteral("text of ") + trigger, std::nullopt, order, std::nullopt};
}

Group folder(const QString& id, qint64 order = 0)
{
    Group g;
    g.id = id;
    g.name = id;
    g.order = order;
    return g;
}

UserData library()
{
    UserData d;
    d.groups = {folder(QStringLiteral("G1"), 0), folder(QStringLiteral("G2"), 1)};
    d.shortcuts = {shortcut(QStringLiteral("S1"), QStringLiteral("/a"), 0),
        shortcut(QStringLiteral("S2"), QStringLiteral("/b"), 1),
        shortcut(QStringLiteral("S3"), QStringLiteral("/c"), 2)};
    d.customIcons = {CustomIcon{QStringLiteral("I1"), QStringLiteral("one"), QStringLiteral("<svg/>")},
        CustomIcon{QStringLiteral("I2"), QStringLiteral("two"), QStringLiteral("<svg/>")}};
    d.deletedIds.groups = {Tombstone{QStringLiteral("G8"), QStringLiteral("2025-01-01T00:00:00Z")},
        Tombstone{QStringLiteral("G9"), QStringLiteral("2025-01-02T00:00:00Z")}};
    return d;
}

SyncSnapshot snapshot()
{
    SyncSnapshot s{library(), AppSettings::defaults(), Stats::empty()};
    s.stats.totalExpansions = 3;
    s.stats.firstUseFlags = {QStringLiteral("a"), QStringLiteral("b")};
    s.stats.unlocked.insert(QStringLiteral("first"), utc(2025, 3, 1, 9, 0, 0, 250));
    return s;
}

template <class T> void reverse(QList<T>& list)
{
    std::reverse(list.begin(), list.end());
}

SyncRecord linkedRecord()
{
    SyncRecord r;
    r.owner = SyncOwner{kProject, kUser};
    r.baseline = snapshot();
    return r;
}

std::optional<SyncFailure::Kind> recordFailure(const SyncRecord& record)
{
    try {
        record.validate();
    } catch (const SyncFailure& f) {
        return f.kind();
    }
    return std::nullopt;
}

} // namespace

// ------------------------------------------------------------------ failures

TEST(SyncFailureSentences, EveryKindHasItsSentence)
{
    const QStringList expected = {
        QStringLiteral("Sync could not save safely. Check the local recovery screen; no success was recorded."),
        QStringLiteral("Your local library changed during sync. Review the latest versions and try again."),
        QStringLiteral("The cloud changed during sync. Nothing was overwritten; refresh and review again."),
        QStringLiteral("The signed-in account changed. Sync was stopped."),
        QStringLiteral("A sync is already running."),
        QStringLiteral("The cloud returned an unsupported or incomplete snapshot. Sync stopped."),
        QStringLiteral("Review both versions before enabling sync for this account."),
        QStringLiteral(
            "A local sync was interrupted. Restore the pre-sync files to continue; both versions are preserved."),
        QStringLiteral(
            "Some shortcuts share a trigger. Give them unique triggers before uploading this library, or review and "
            "choose the cloud version. Your local shortcuts are unchanged."),
    };
    ASSERT_EQ(SyncFailure::allKinds.size(), size_t(expected.size()));
    for (size_t i = 0; i < SyncFailure::allKinds.size(); ++i)
        EXPECT_EQ(SyncFailure(SyncFailure::allKinds[i]).errorDescription(), expected[qsizetype(i)]);
}

TEST(SyncFailureSentences, EqualByKindAndUsableAsAnError)
{
    QSet<SyncFailure> set;
    for (SyncFailure::Kind kind : SyncFailure::allKinds) {
        set.insert(SyncFailure(kind));
        set.insert(SyncFailure(kind));
    }
    EXPECT_EQ(set.size(), 9);
    EXPECT_NE(SyncFailure(SyncFailure::Kind::busy), SyncFailure(SyncFailure::Kind::interrupted));
    try {
        throw SyncFailure(SyncFailure::Kind::busy);
    } catch (const VelmoraError& e) {
        EXPECT_STREQ(e.what(), "A sync is already running.");
    }
}

// ------------------------------------------------------------------ JSON forms

TEST(SyncRecordJson, NewRecordIsVersionOneOnly)
{
    const SyncRecord fresh;
    EXPECT_EQ(VelmoraJSON::encode(fresh), VelmoraJSON::encode(VelmoraJSON::parse(R"({"version":1})")));
    EXPECT_FALSE(recordFailure(fresh));
}

TEST(SyncRecordJson, OptionalPartsReadWhenPresentAndNullReadsAsAbsent)
{
    const SyncRecord r
        = VelmoraJSON::decode<SyncRecord>(R"({"version":1,"owner":null,"baseline":null,"pending":null,"x":0})");
    EXPECT_FALSE(r.owner || r.baseline || r.pending);
    EXPECT_EQ(readFailurePath<SyncRecord>(R"({"owner":null})"), QString());
    EXPECT_EQ(readFailurePath<SyncRecord>(R"({"version":"1"})"), QStringLiteral("version"));
    EXPECT_EQ(
        readFailurePath<SyncRecord>(R"({"version":1,"owner":{"projectURL":"https://x"}})"), QStringLiteral("owner"));
}

TEST(SyncRecordJson, FullRecordRoundTripsByteForByte)
{
    SyncRecord r = linkedRecord();
    SyncSnapshot after = snapshot();
    after.settings.theme = QStringLiteral("dark");
    r.pending = SyncLocalTransaction{snapshot(), after};
    EXPECT_TRUE(roundTripsByteForByte(r));
    const SyncRecord back = VelmoraJSON::decode<SyncRecord>(VelmoraJSON::encode(r));
    EXPECT_EQ(back.owner, r.owner);
    ASSERT_TRUE(back.pending);
    EXPECT_TRUE(back.pending->after.matches(after));
    EXPECT_FALSE(back.pending->before.matches(after));
}

TEST(SyncSnapshotJson, EveryPartIsRequiredAndTheLibraryIsValidatedOnReading)
{
    const QJsonObject good = snapshot().toJson().toObject();
    for (const QString& key : {QStringLiteral("data"), QStringLiteral("settings"), QStringLiteral("stats")}) {
        QJsonObject missing = good;
        missing.remove(key);
        const auto e
            = errorThrownBy<DecodingError>([&] { VelmoraJSON::decode<SyncSnapshot>(VelmoraJSON::encode(missing)); });
        ASSERT_TRUE(e) << key;
        EXPECT_EQ(e->kind(), DecodingError::Kind::keyNotFound) << key;
    }
    QJsonObject broken = good;
    QJsonObject data = broken.value(QStringLiteral("data")).toObject();
    data.insert(QStringLiteral("groups"),
        QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("A")},
            {QStringLiteral("name"), QStringLiteral("a")}, {QStringLiteral("parentGroupId"), QStringLiteral("A")}}});
    broken.insert(QStringLiteral("data"), data);
    EXPECT_EQ(readFailure<SyncSnapshot>(VelmoraJSON::encode(broken)),
        QStringLiteral("Library contains a missing parent or circular folder relationship."));
}

TEST(CloudSyncSnapshotJson, KeysAreTheBackendsSnakeCaseAndAllRequired)
{
    const CloudSyncSnapshot c{kUser, QStringLiteral("rev-7"), true, snapshot()};
    const QJsonObject o = c.toJson().toObject();
    EXPECT_EQ(o.keys(),
        QStringList({QStringLiteral("has_cloud"), QStringLiteral("revision"), QStringLiteral("snapshot"),
            QStringLiteral("user_id")}));
    EXPECT_TRUE(roundTripsByteForByte(c));
    for (const QString& key : o.keys()) {
        QJsonObject missing = o;
        missing.remove(key);
        EXPECT_TRUE(errorThrownBy<DecodingError>([&] {
            VelmoraJSON::decode<CloudSyncSnapshot>(VelmoraJSON::encode(missing));
        })) << key;
    }
    QJsonObject wrongType = o;
    wrongType.insert(QStringLiteral("has_cloud"), QStringLiteral("true"));
    EXPECT_EQ(readFailurePath<CloudSyncSnapshot>(VelmoraJSON::encode(wrongType)), QStringLiteral("has_cloud"));
}

// ------------------------------------------------------------------ sameness

TEST(SyncSameness, ArrayOrderDoesNotMakeADifferentLibrary)
{
    UserData shuffled = library();
    reverse(shuffled.groups);
    reverse(shuffled.shortcuts);
    reverse(shuffled.customIcons);
    reverse(shuffled.deletedIds.groups);
    EXPECT_TRUE(SyncSnapshot::sameLibrary(library(), shuffled));
    EXPECT_FALSE(SyncSnapshot::same(library(), shuffled));
}

TEST(SyncSameness, DifferentOrderValuesOrMarkersMakeADifferentLibrary)
{
    UserData reordered = library();
    reordered.shortcuts[0].order = 5;
    EXPECT_FALSE(SyncSnapshot::sameLibrary(library(), reordered));

    UserData marked = library();
    marked.deletedIds.shortcuts.append(Tombstone{QStringLiteral("S9"), QStringLiteral("2025-01-01T00:00:00Z")});
    EXPECT_FALSE(SyncSnapshot::sameLibrary(library(), marked));

    UserData retimed = library();
    retimed.deletedIds.groups[0].deletedAt = QStringLiteral("2025-06-01T00:00:00Z");
    EXPECT_FALSE(SyncSnapshot::sameLibrary(library(), retimed));
}

TEST(SyncSameness, SortedCopyChangesOnlyTheOrder)
{
    UserData shuffled = library();
    reverse(shuffled.shortcuts);
    shuffled.shortcuts.append(shortcut(QStringLiteral("S0"), QStringLiteral("/z"), 9));
    const UserData sorted = SyncSnapshot::sorted(shuffled);
    QStringList ids;
    for (const Shortcut& s : sorted.shortcuts)
        ids.append(s.id);
    EXPECT_EQ(
        ids, QStringList({QStringLiteral("S0"), QStringLiteral("S1"), QStringLiteral("S2"), QStringLiteral("S3")}));
    EXPECT_EQ(sorted.shortcuts[0], shortcut(QStringLiteral("S0"), QStringLiteral("/z"), 9));
}

TEST(SyncSameness, SettingsAreTheSameOnlyWhenEveryFieldIs)
{
    EXPECT_TRUE(SyncSnapshot::same(AppSettings::defaults(), AppSettings{}));
    for (int field = 0; field < 9; ++field) {
        AppSettings s;
        switch (field) {
        case 0: s.expandText = true; break;
        case 1: s.confirmDelete = false; break;
        case 2: s.copyOnClick = false; break;
        case 3: s.theme = QStringLiteral("light"); break;
        case 4: s.fullHeight = true; break;
        case 5: s.showTimeSavedAnimation = false; break;
        case 6: s.showDropdown = false; break;
        case 7: s.showAchievementToast = false; break;
        case 8: s.launchAtLogin = true; break;
        }
        EXPECT_FALSE(SyncSnapshot::same(AppSettings::defaults(), s)) << field;
    }
}

TEST(SyncSameness, FlagSetsInAnyOrderAreTheSameStatistics)
{
    Stats a;
    Stats b;
    for (int i = 0; i < 100; ++i) {
        a.firstUseFlags.insert(QStringLiteral("f%1").arg(i));
        b.firstUseFlags.insert(QStringLiteral("f%1").arg(99 - i));
    }
    EXPECT_TRUE(SyncSnapshot::same(a, b));
    EXPECT_EQ(SyncSnapshot::stableBytes(a), SyncSnapshot::stableBytes(b));
    b.firstUseFlags.remove(QStringLiteral("f3"));
    EXPECT_FALSE(SyncSnapshot::same(a, b));
}

TEST(SyncSameness, StatisticsBytesAreCompactWithSortedKeysAndFlags)
{
    Stats s;
    s.firstUseFlags = {QStringLiteral("b"), QStringLiteral("a")};
    const QByteArray bytes = SyncSnapshot::stableBytes(s);
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_TRUE(bytes.startsWith(R"({"dailyBuckets":{},"firstUseFlags":["a","b"],"perShortcut":{})"));
}

TEST(SyncSameness, DatesBelowTheMillisecondAreTheSame)
{
    Stats a;
    a.recentExpansionTimestamps = {VelmoraJSON::decode<QDateTime>("\"2025-03-01T09:30:00.2501Z\"")};
    Stats b;
    b.recentExpansionTimestamps = {VelmoraJSON::decode<QDateTime>("\"2025-03-01T09:30:00.2504Z\"")};
    EXPECT_TRUE(SyncSnapshot::same(a, b));
}

TEST(SyncSameness, UnencodableStatisticsMatchNothingNotEvenThemselves)
{
    SyncSnapshot s = snapshot();
    s.stats.totalTimeSaved = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(s.matches(s));
    EXPECT_FALSE(s.matches(snapshot()));
    EXPECT_THROW(s.validate(), EncodingError);
    EXPECT_THROW(SyncSnapshot::stableBytes(s.stats), EncodingError);
}

TEST(SyncSameness, MatchesComparesAllThreeParts)
{
    SyncSnapshot other = snapshot();
    reverse(other.data.shortcuts);
    EXPECT_TRUE(snapshot().matches(other));
    other.settings.fullHeight = true;
    EXPECT_FALSE(snapshot().matches(other));
    other = snapshot();
    other.stats.totalCharsSaved = 1;
    EXPECT_FALSE(snapshot().matches(other));
}

// ------------------------------------------------------------------ validation

TEST(SyncSnapshotValidation, PassesForAGoodSnapshotAndThrowsTheLibrarysOwnError)
{
    EXPECT_NO_THROW(snapshot().validate());
    SyncSnapshot broken = snapshot();
    broken.data.shortcuts[0].trigger.clear();
    const auto e = errorThrownBy<DecodingError>([&] { broken.validate(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->errorDescription(), QStringLiteral("Library contains an empty shortcut trigger or text."));
}

TEST(SyncSnapshotValidation, ADateThatCannotBeWrittenFails)
{
    SyncSnapshot s = snapshot();
    s.stats.unlocked.insert(QStringLiteral("never"), QDateTime());
    EXPECT_THROW(s.validate(), EncodingError);
}

TEST(SyncRecordValidation, LinkedRecordWithValidBaselinePasses)
{
    EXPECT_FALSE(recordFailure(linkedRecord()));
    SyncRecord upper = linkedRecord();
    upper.owner->userID = kUser.toUpper();
    EXPECT_FALSE(recordFailure(upper));
}

TEST(SyncRecordValidation, StructuralFaultsAreInvalidResponses)
{
    SyncRecord r = linkedRecord();
    r.version = 2;
    EXPECT_EQ(recordFailure(r), SyncFailure::Kind::invalidResponse);

    r = linkedRecord();
    r.baseline.reset();
    EXPECT_EQ(recordFailure(r), SyncFailure::Kind::invalidResponse);

    r = linkedRecord();
    r.owner.reset();
    EXPECT_EQ(recordFailure(r), SyncFailure::Kind::invalidResponse);
}

TEST(SyncRecordValidation, OwnerNeedsUuidUserAndHttpsProject)
{
    const QStringList badUsers
        = {QStringLiteral("not-a-uuid"), QString(), QStringLiteral("{1b4e28ba-2fa1-11d2-883f-0016d3cca427}"),
            QStringLiteral("1b4e28ba2fa111d2883f0016d3cca427"), QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca42g")};
    for (const QString& user : badUsers) {
        SyncRecord r = linkedRecord();
        r.owner->userID = user;
        EXPECT_EQ(recordFailure(r), SyncFailure::Kind::invalidResponse) << user;
    }
    const QStringList badProjects
        = {QStringLiteral("http://abcd.supabase.co"), QStringLiteral("HTTPS://abcd.supabase.co"),
            QStringLiteral("abcd.supabase.co"), QString(), QStringLiteral("https://exa mple.com")};
    for (const QString& project : badProjects) {
        SyncRecord r = linkedRecord();
        r.owner->projectURL = project;
        EXPECT_EQ(recordFailure(r), SyncFailure::Kind::invalidResponse) << project;
    }
    SyncRecord withPath = linkedRecord();
    withPath.owner->projectURL = QStringLiteral("https://abcd.supabase.co/");
    EXPECT_FALSE(recordFailure(withPath));
}

TEST(SyncRecordValidation, BaselineFaultsKeepTheLibrarysMessage)
{
    SyncRecord r = linkedRecord();
    r.baseline->data.shortcuts[0].trigger.clear();
    const auto e = errorThrownBy<DecodingError>([&] { r.validate(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->errorDescription(), QStringLiteral("Library contains an empty shortcut trigger or text."));
}

TEST(SyncRecordValidation, PendingAloneIsValidWhenBothSnapshotsAre)
{
    SyncRecord r;
    r.pending = SyncLocalTransaction{snapshot(), snapshot()};
    EXPECT_FALSE(recordFailure(r));
    r.pending->after.data.shortcuts[1].groupId = QStringLiteral("gone");
    const auto e = errorThrownBy<DecodingError>([&] { r.validate(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->errorDescription(), QStringLiteral("A shortcut points to a missing folder."));
}
