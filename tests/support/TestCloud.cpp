#include "TestCloud.h"

#include "BackendSignIn.h"
#include "MemorySyncRemote.h"
#include "Models/SyncFailure.h"
#include "Services/SupabaseSyncRemote.h"
#include "TestBackend.h"

class TestCloud::Relay final : public SyncRemote {
public:
    explicit Relay(TestCloud& cloud)
        : m_cloud(cloud)
    {
    }

    void read(const AuthCredentials& credentials, const Cancellation& cancellation,
        Completion<CloudSyncSnapshot> done) override
    {
        if (m_cloud.beforeRead)
            m_cloud.beforeRead();
        m_cloud.m_underlying->read(credentials, cancellation, counted(std::move(done), &TestCloud::reads));
    }

    void compareAndSwap(const SyncSnapshot& next, const QString& revision, const AuthCredentials& credentials,
        const Cancellation& cancellation, Completion<CloudSyncSnapshot> done) override
    {
        if (m_cloud.beforeWrite)
            m_cloud.beforeWrite();
        m_cloud.m_underlying->compareAndSwap(
            next, revision, credentials, cancellation, counted(std::move(done), &TestCloud::writes));
    }

private:
    Completion<CloudSyncSnapshot> counted(Completion<CloudSyncSnapshot> done, int TestCloud::*success)
    {
        ++m_cloud.m_outstanding;
        return [cloud = &m_cloud, done = std::move(done), success](Result<CloudSyncSnapshot> result) {
            --cloud->m_outstanding;
            if (result.succeeded()) {
                ++(cloud->*success);
                if (cloud->alterReply)
                    result = cloud->alterReply(result.value());
            } else if (const auto failure = result.errorAs<SyncFailure>();
                       failure && failure->kind() == SyncFailure::Kind::cloudChanged) {
                ++cloud->refusedWrites;
            }
            done(result);
        };
    }

    TestCloud& m_cloud;
};

TestCloud::TestCloud(std::unique_ptr<SyncRemote> underlying)
    : m_underlying(std::move(underlying))
    , m_relay(std::make_unique<Relay>(*this))
{
}

TestCloud::~TestCloud() = default;

SyncRemote& TestCloud::remote()
{
    return *m_relay;
}

bool TestCloud::settle(ManualScheduler& scheduler)
{
    return BackendSignIn::waitUntil(scheduler, [this] { return m_outstanding == 0; });
}

namespace {

class MemoryCloud final : public TestCloud {
public:
    MemoryCloud()
        : MemoryCloud(std::make_unique<MemorySyncRemote>())
    {
    }

    QString accessTokenFor(const QString&) override { return QStringLiteral("access"); }
    CloudSyncSnapshot copyOf(const QString& userID) override { return m_memory.copyOf(userID); }
    void store(const QString& userID, const SyncSnapshot& snapshot) override { m_memory.store(userID, snapshot); }

private:
    explicit MemoryCloud(std::unique_ptr<MemorySyncRemote> memory)
        : MemoryCloud(*memory, std::move(memory))
    {
    }
    MemoryCloud(MemorySyncRemote& memory, std::unique_ptr<MemorySyncRemote>&& owned)
        : TestCloud(std::move(owned))
        , m_memory(memory)
    {
    }

    MemorySyncRemote& m_memory;
};

class BackendCloud final : public TestCloud {
public:
    BackendCloud()
        : BackendCloud(std::make_unique<TestBackend>())
    {
    }

    QString accessTokenFor(const QString& userID) override
    {
        AuthUser user;
        user.id = userID;
        return m_backend->sessionFor(user).accessToken;
    }
    CloudSyncSnapshot copyOf(const QString& userID) override
    {
        return VelmoraJSON::decode<CloudSyncSnapshot>(VelmoraJSON::encode(QJsonValue(m_backend->cloud(userID))));
    }
    void store(const QString& userID, const SyncSnapshot& snapshot) override
    {
        m_backend->setCloud(userID, snapshot.toJson().toObject());
    }

private:
    explicit BackendCloud(std::unique_ptr<TestBackend> backend)
        : TestCloud(std::make_unique<SupabaseSyncRemote>(backend->client(),
            [configuration = backend->configuration()] { BackendConfiguration::requireLibrarySync(configuration); }))
        , m_backend(std::move(backend))
    {
    }

    std::unique_ptr<TestBackend> m_backend;
};

} // namespace

std::unique_ptr<TestCloud> TestCloud::inMemory()
{
    return std::make_unique<MemoryCloud>();
}

std::unique_ptr<TestCloud> TestCloud::onBackend()
{
    return std::make_unique<BackendCloud>();
}
