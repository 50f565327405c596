#include "Services/SupabaseSyncRemote.h"
#include "BackendSignIn.h"
#include "LibraryFixtures.h"
#include "ManualScheduler.h"
#include "Models/SyncFailure.h"
#include "Services/SupabaseError.h"
#include "TestBackend.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using Kind = SyncFailure::Kind;
using AccessError = BackendConfiguration::AccessError;

namespace {

const QString readPath = QStringLiteral("/rest/v1/rpc/velmora_read_sync");
const QString writePath = QStringLiteral("/rest/v1/rpc/velmora_write_sync");

SyncSnapshot library(const QStringList& triggers)
{
    UserData data = UserData::empty();
    for (const QString& trigger : triggers)
        data.shortcuts.append(LibraryFixtures::shortcut(QStringLiteral("S-%1").arg(data.shortcuts.size()), trigger));
    return SyncSnapshot{data, AppSettings::defaults(), Stats::empty()};
}

class SupabaseSyncRemoteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const AuthSession session = backend.sessionFor(backend.signingInUser());
        credentials = AuthCredentials{session.accessToken, session.user.id, QUuid::createUuid()};
    }

    SupabaseSyncRemote remoteWith(bool syncEnabled = true)
    {
        const BackendConfiguration configuration = backend.configuration(true, syncEnabled);
        return SupabaseSyncRemote(backend.client(true, syncEnabled),
            [configuration] { BackendConfiguration::requireLibrarySync(configuration); });
    }

    Result<CloudSyncSnapshot> wait(const std::function<void(Completion<CloudSyncSnapshot>)>& call)
    {
        std::optional<Result<CloudSyncSnapshot>> result;
        call([&](Result<CloudSyncSnapshot> r) { result = std::move(r); });
        BackendSignIn::waitUntil(scheduler, [&] { return result.has_value(); });
        return result.value_or(Result<CloudSyncSnapshot>::failure(CancellationError()));
    }

    Result<CloudSyncSnapshot> read(const SupabaseSyncRemote& remote)
    {
        return wait([&](auto done) { const_cast<SupabaseSyncRemote&>(remote).read(credentials, {}, done); });
    }

    Result<CloudSyncSnapshot> write(const SupabaseSyncRemote& remote, const SyncSnapshot& next, const QString& revision)
    {
        return wait([&](auto done) {
            const_cast<SupabaseSyncRemote&>(remote).compareAndSwap(next, revision, credentials, {}, done);
        });
    }

    std::optional<Kind> failure(const Result<CloudSyncSnapshot>& result)
    {
        const auto error = result.errorAs<SyncFailure>();
        return error ? std::optional<Kind>(error->kind()) : std::nullopt;
    }

    ManualScheduler scheduler;
    TestBackend backend;
    AuthCredentials credentials;
    SupabaseSyncRemote remote = remoteWith();
};

TEST_F(SupabaseSyncRemoteTest, AnEmptyCloudHasAWellFormedRevisionAndNoLibrary)
{
    const CloudSyncSnapshot cloud = read(remote).value();

    EXPECT_FALSE(cloud.has_cloud);
    EXPECT_EQ(cloud.user_id, credentials.userID);
    EXPECT_EQ(cloud.revision.size(), 32);
}

TEST_F(SupabaseSyncRemoteTest, AWriteOnTheRevisionReadIsStoredUnderANewRevision)
{
    const CloudSyncSnapshot empty = read(remote).value();

    const CloudSyncSnapshot stored = write(remote, library({QStringLiteral("/sig")}), empty.revision).value();

    EXPECT_TRUE(stored.has_cloud);
    EXPECT_NE(stored.revision, empty.revision);
    EXPECT_TRUE(read(remote).value().snapshot.matches(library({QStringLiteral("/sig")})));
}

TEST_F(SupabaseSyncRemoteTest, AWriteOnAStaleRevisionIsCloudChangedAndOverwritesNothing)
{
    const CloudSyncSnapshot empty = read(remote).value();
    ASSERT_TRUE(write(remote, library({QStringLiteral("/first")}), empty.revision).succeeded());

    EXPECT_EQ(failure(write(remote, library({QStringLiteral("/second")}), empty.revision)), Kind::cloudChanged);
    EXPECT_TRUE(read(remote).value().snapshot.matches(library({QStringLiteral("/first")})));
}

TEST_F(SupabaseSyncRemoteTest, AReadAnswered409KeepsTheClientsError)
{
    backend.failNext(readPath, TestBackend::Fault::withStatus(409));

    const auto error = read(remote).errorAs<SupabaseClient::SupabaseError>();

    ASSERT_TRUE(error);
    EXPECT_EQ(error->statusCode(), 409);
}

TEST_F(SupabaseSyncRemoteTest, RepliesWithMembersTheRecordsWouldDropAreRefused)
{
    backend.failNext(readPath, TestBackend::Fault::extraMember());
    EXPECT_EQ(failure(read(remote)), Kind::invalidResponse);

    backend.failNext(readPath, TestBackend::Fault::extraSnapshotMember());
    EXPECT_EQ(failure(read(remote)), Kind::invalidResponse);

    TestBackend::Fault withNull;
    withNull.edit = [](QJsonObject& reply) {
        QJsonObject snapshot = reply.value(QStringLiteral("snapshot")).toObject();
        snapshot.insert(QStringLiteral("unknown"), QJsonValue::Null);
        reply.insert(QStringLiteral("snapshot"), snapshot);
    };
    backend.failNext(readPath, withNull);
    EXPECT_TRUE(read(remote).succeeded());
}

TEST_F(SupabaseSyncRemoteTest, ALibraryWithDuplicateTriggersIsNeverSent)
{
    const CloudSyncSnapshot empty = read(remote).value();
    const qsizetype sent = backend.requests().size();

    EXPECT_EQ(failure(write(remote, library({QStringLiteral("/sig"), QStringLiteral("/sig")}), empty.revision)),
        Kind::duplicateTriggers);
    EXPECT_EQ(backend.requests().size(), sent);
    EXPECT_TRUE(write(remote, library({QStringLiteral("/sig"), QStringLiteral("/SIG")}), empty.revision).succeeded());
}

TEST_F(SupabaseSyncRemoteTest, WithSyncSwitchedOffNothingIsSent)
{
    const SupabaseSyncRemote paused = remoteWith(false);

    EXPECT_EQ(read(paused).errorAs<AccessError>(), AccessError::syncPaused);
    EXPECT_EQ(write(paused, library({}), QString(32, u'0')).errorAs<AccessError>(), AccessError::syncPaused);
    EXPECT_TRUE(backend.requests().isEmpty());
}

} // namespace
