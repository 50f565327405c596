#include "ManualScheduler.h"
#include "RequestOutcome.h"
#include "Services/NetworkError.h"
#include "Services/SupabaseClient.h"
#include "TestBackend.h"
#include "Utilities/CancellationError.h"

#include <QJsonObject>
#include <QNetworkRequest>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using SupabaseClient::SupabaseError;
using AccessError = BackendConfiguration::AccessError;

const QString readPath = QStringLiteral("/rest/v1/rpc/velmora_read_sync");

Result<QByteArray> post(const SupabaseHTTPClient& client, const QString& path,
    const std::optional<QString>& token = std::nullopt, const SupabaseHTTPClient::Headers& extraHeaders = {})
{
    return awaitRequest(client, path, QJsonObject{{QStringLiteral("n"), 1}}, token, extraHeaders);
}

std::optional<int> failedStatus(const Result<QByteArray>& result)
{
    const std::optional<SupabaseError> error = result.errorAs<SupabaseError>();
    return error ? error->statusCode() : std::nullopt;
}

// A reply that never finishes but reports progress whenever the test says so.
class TricklingReply final : public QNetworkReply {
public:
    TricklingReply() { open(QIODevice::ReadOnly); }
    void abort() override { }
    void trickle() { Q_EMIT downloadProgress(++m_received, -1); }

protected:
    qint64 readData(char*, qint64) override { return 0; }

private:
    qint64 m_received = 0;
};

class HTTPClient : public ::testing::Test {
protected:
    TestBackend backend;
};

TEST_F(HTTPClient, SendsKeyContentTypeAndTokenLastAndInThatOrder)
{
    const QString token = backend.sessionFor(backend.signingInUser()).accessToken;
    const Result<QByteArray> result
        = post(backend.client(), readPath, token, {{QStringLiteral("X-Trace"), QStringLiteral("7")}});
    ASSERT_TRUE(result.succeeded());
    ASSERT_EQ(backend.requests().size(), 1);
    const TestBackend::Request& request = backend.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, readPath.toUtf8());
    EXPECT_EQ(request.json(), QJsonObject({{QStringLiteral("n"), 1}}));
    EXPECT_EQ(request.header("apikey"), TestBackend::publishableKey().toUtf8());
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer " + token.toUtf8());
    const QList<QByteArray> names = request.headerNames();
    const qsizetype trace = names.indexOf("X-Trace");
    ASSERT_GE(trace, 0);
    EXPECT_LT(trace, names.indexOf("apikey"));
    EXPECT_LT(names.indexOf("apikey"), names.indexOf("Content-Type"));
    EXPECT_LT(names.indexOf("Content-Type"), names.indexOf("Authorization"));
}

TEST_F(HTTPClient, ExtraHeadersNeverReplaceTheKeyTheContentTypeOrTheMissingToken)
{
    post(backend.client(), QStringLiteral("/auth/v1/token?grant_type=pkce"), std::nullopt,
        {{QStringLiteral("apikey"), QStringLiteral("sb_publishable_other")},
            {QStringLiteral("content-type"), QStringLiteral("text/plain")},
            {QStringLiteral("AUTHORIZATION"), QStringLiteral("Bearer smuggled")}});
    ASSERT_EQ(backend.requests().size(), 1);
    const TestBackend::Request& request = backend.requests().first();
    EXPECT_EQ(request.header("apikey"), TestBackend::publishableKey().toUtf8());
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_TRUE(request.header("Authorization").isNull());
    EXPECT_EQ(request.headerNames().count("apikey"), 1);
}

TEST_F(HTTPClient, JoinsPathAndQueryToTheProjectWithOneSlash)
{
    BackendConfiguration configuration = backend.configuration();
    configuration.projectURL += QStringLiteral("/");
    post(SupabaseHTTPClient(configuration, backend.transport()),
        QStringLiteral("/auth/v1/token?grant_type=refresh_token"));
    ASSERT_EQ(backend.requests().size(), 1);
    EXPECT_EQ(backend.requests().first().target, "/auth/v1/token?grant_type=refresh_token");
}

TEST_F(HTTPClient, PathsThatCouldLeaveTheProjectAreRefusedWithNothingSent)
{
    // Whatever would be sent goes through the transport, before any answer could come back.
    int handedOver = 0;
    const SupabaseHTTPClient client(backend.configuration(),
        [&handedOver, transport = backend.transport()](
            const QNetworkRequest& request, const QByteArray& method, const QByteArray& body) {
            ++handedOver;
            return transport(request, method, body);
        });
    for (const char* path :
        {"rest/v1/rpc/velmora_read_sync", "//elsewhere.example.com/steal", "/rest#fragment", "/a b"}) {
        const Result<QByteArray> result = post(client, QString::fromLatin1(path));
        const std::optional<SupabaseError> error = result.errorAs<SupabaseError>();
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(error->message(), SupabaseError::invalidURL().message());
        EXPECT_EQ(error->statusCode(), std::nullopt);
    }
    EXPECT_EQ(handedOver, 0);
    // The count is of what reaches the backend: a path that is fine is sent.
    post(client, readPath);
    EXPECT_EQ(handedOver, 1);
    EXPECT_EQ(backend.requests().size(), 1);
}

TEST_F(HTTPClient, TheConfigurationIsCheckedBeforeThePath)
{
    EXPECT_EQ(post(backend.client(false), QStringLiteral("bad")).errorAs<AccessError>(), AccessError::disabled);
    EXPECT_EQ(post(SupabaseHTTPClient(std::nullopt, backend.transport()), readPath).errorAs<AccessError>(),
        AccessError::notConfigured);
    BackendConfiguration invalid = backend.configuration();
    invalid.publishableKey = QStringLiteral("sb_publishable_");
    EXPECT_EQ(post(SupabaseHTTPClient(invalid, backend.transport()), readPath).errorAs<AccessError>(),
        AccessError::notConfigured);
    // The program's own client: no configuration file is installed beside the tests.
    EXPECT_EQ(post(SupabaseClient::client(), readPath).errorAs<AccessError>(), AccessError::notConfigured);
    EXPECT_TRUE(backend.requests().isEmpty());
}

TEST_F(HTTPClient, ARedirectIsNotFollowed)
{
    backend.failNext(readPath, TestBackend::Fault::redirect());
    const Result<QByteArray> result = post(backend.client(), readPath);
    EXPECT_EQ(failedStatus(result), 302);
    EXPECT_EQ(result.errorAs<SupabaseError>()->message(), SupabaseError::status(302).message());
    // A followed redirect would have been sent before the reply ended.
    EXPECT_EQ(backend.requests().size(), 1);
}

TEST_F(HTTPClient, StatusesOutside200To299FailWithTheStatusAndTheBodyOfOthersIsReturned)
{
    for (int status : {300, 400, 401, 404, 409, 500, 503}) {
        backend.failNext(readPath, TestBackend::Fault::withStatus(status));
        EXPECT_EQ(failedStatus(post(backend.client(), readPath)), status);
    }
    backend.failNext(readPath, TestBackend::Fault::withStatus(299));
    EXPECT_TRUE(post(backend.client(), readPath).succeeded());
    backend.failNext(readPath, TestBackend::Fault::malformedBody());
    EXPECT_EQ(post(backend.client(), readPath).value(), *TestBackend::Fault::malformedBody().body);
    const QString token = backend.sessionFor(backend.signingInUser()).accessToken;
    const Result<QByteArray> loggedOut = post(backend.client(), QStringLiteral("/auth/v1/logout"), token);
    ASSERT_TRUE(loggedOut.succeeded());
    EXPECT_TRUE(loggedOut.value().isEmpty());
}

TEST_F(HTTPClient, ADroppedConnectionIsTheTransportsFailure)
{
    backend.failNext(readPath, TestBackend::Fault::dropped(), -1);
    const Result<QByteArray> result = post(backend.client(), readPath);
    EXPECT_TRUE(result.errorAs<NetworkError>());
}

TEST_F(HTTPClient, AServerTheSystemDoesNotTrustIsNeverReached)
{
    const Result<QByteArray> result = post(SupabaseHTTPClient(backend.configuration()), readPath);
    const std::optional<NetworkError> error = result.errorAs<NetworkError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), QNetworkReply::SslHandshakeFailedError);
    EXPECT_TRUE(backend.requests().isEmpty());
}

TEST_F(HTTPClient, ARequestWithoutAnAnswerTimesOut)
{
    ManualScheduler scheduler;
    backend.failNext(readPath, TestBackend::Fault::stalled());
    RequestOutcome outcome;
    backend.client().request(readPath, QStringLiteral("POST"), std::nullopt, std::nullopt, {}, outcome.completion());
    ASSERT_TRUE(backend.waitForRequests(1));
    scheduler.advance(SupabaseHTTPClient::requestTimeout);
    ASSERT_TRUE(outcome.wait());
    ASSERT_TRUE(outcome.error<NetworkError>());
    EXPECT_TRUE(outcome.error<NetworkError>()->isTimeout());
}

TEST_F(HTTPClient, ATransferThatKeepsProgressingStillEndsAfterTheWholeTimeOut)
{
    ManualScheduler scheduler;
    auto* reply = new TricklingReply;
    const SupabaseHTTPClient client(backend.configuration(),
        [reply](const QNetworkRequest&, const QByteArray&, const QByteArray&) { return reply; });
    RequestOutcome outcome;
    client.request(readPath, QStringLiteral("POST"), std::nullopt, std::nullopt, {}, outcome.completion());
    const double step = SupabaseHTTPClient::requestTimeout - 1;
    double elapsed = 0;
    while (elapsed + step < SupabaseHTTPClient::transferTimeout) {
        scheduler.advance(step);
        elapsed += step;
        reply->trickle();
        QCoreApplication::processEvents();
        EXPECT_FALSE(outcome.ended()) << elapsed;
    }
    scheduler.advance(SupabaseHTTPClient::transferTimeout - elapsed);
    ASSERT_TRUE(outcome.wait());
    ASSERT_TRUE(outcome.error<NetworkError>());
    EXPECT_TRUE(outcome.error<NetworkError>()->isTimeout());
}

TEST_F(HTTPClient, ACancelledRequestEndsOnceWithCancellationAndDropsTheReply)
{
    backend.failNext(readPath, TestBackend::Fault::delayed(100));
    RequestOutcome outcome;
    PendingRequest pending = backend.client().request(
        readPath, QStringLiteral("POST"), std::nullopt, std::nullopt, {}, outcome.completion());
    ASSERT_TRUE(backend.waitForRequests(1));
    pending.cancel();
    EXPECT_FALSE(outcome.ended());
    ASSERT_TRUE(outcome.wait());
    // The reply is dropped with its connection; a request after that goes all the way round
    // the event loop, which would deliver a second end of the first.
    ASSERT_TRUE(backend.waitForClosedConnections(1));
    post(backend.client(), readPath);
    EXPECT_EQ(backend.requests().size(), 2);
    EXPECT_EQ(outcome.calls(), 1);
    EXPECT_TRUE(outcome.error<CancellationError>());
    EXPECT_FALSE(pending.isPending());
}

} // namespace
