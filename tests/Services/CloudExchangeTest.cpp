#include "Models/CloudSyncSnapshot.h"
#include "RequestOutcome.h"
#include "Services/OAuthPKCE.h"
#include "Services/SupabaseError.h"
#include "Services/TokenResponse.h"
#include "TestBackend.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QString pkceGrant = QStringLiteral("/auth/v1/token?grant_type=pkce");
const QString refreshGrant = QStringLiteral("/auth/v1/token?grant_type=refresh_token");
const QString readPath = QStringLiteral("/rest/v1/rpc/velmora_read_sync");
const QString writePath = QStringLiteral("/rest/v1/rpc/velmora_write_sync");

QJsonObject object(const Result<QByteArray>& result)
{
    return result.succeeded() ? QJsonDocument::fromJson(result.value()).object() : QJsonObject();
}

std::optional<int> failedStatus(const Result<QByteArray>& result)
{
    const auto error = result.errorAs<SupabaseClient::SupabaseError>();
    return error ? error->statusCode() : std::nullopt;
}

// The whole exchange as the account service and sync will run it, against the local backend.
class CloudExchange : public ::testing::Test {
protected:
    TestBackend backend;
    SupabaseHTTPClient client = backend.client();
};

TEST_F(CloudExchange, TheCallbacksCodeRedeemsOnceAndOnlyWithItsVerifier)
{
    const OAuthPKCE pkce;
    const QString code = OAuthPKCE::authorizationCode(backend.callbackFor(pkce.authorizeURL(client.configuration())));
    const QJsonObject wrong{
        {QStringLiteral("auth_code"), code}, {QStringLiteral("code_verifier"), OAuthPKCE().verifier()}};
    EXPECT_EQ(failedStatus(awaitRequest(client, pkceGrant, wrong)), 400);

    const OAuthPKCE second;
    const QString secondCode
        = OAuthPKCE::authorizationCode(backend.callbackFor(second.authorizeURL(client.configuration())));
    const QJsonObject body{
        {QStringLiteral("auth_code"), secondCode}, {QStringLiteral("code_verifier"), second.verifier()}};
    const Result<QByteArray> granted = awaitRequest(client, pkceGrant, body);
    ASSERT_TRUE(granted.succeeded());
    const AuthSession session = TokenResponse::fromJson(JsonReader(object(granted))).session();
    EXPECT_EQ(session.user, backend.signingInUser());
    EXPECT_EQ(failedStatus(awaitRequest(client, pkceGrant, body)), 400);
}

TEST_F(CloudExchange, EveryRefreshTokenWorksOnce)
{
    const AuthSession session = backend.sessionFor(backend.signingInUser());
    const QJsonObject body{{QStringLiteral("refresh_token"), session.refreshToken}};
    const Result<QByteArray> renewed = awaitRequest(client, refreshGrant, body);
    ASSERT_TRUE(renewed.succeeded());
    const AuthSession next = TokenResponse::fromJson(JsonReader(object(renewed))).session();
    EXPECT_NE(next.refreshToken, session.refreshToken);
    EXPECT_EQ(failedStatus(awaitRequest(client, refreshGrant, body)), 400);
    EXPECT_TRUE(backend.refreshTokenIsLive(next.refreshToken));
}

TEST_F(CloudExchange, AWriteReplacesTheCloudCopyOnlyAtTheRevisionItRead)
{
    const QString token = backend.sessionFor(backend.signingInUser()).accessToken;
    const CloudSyncSnapshot empty
        = CloudSyncSnapshot::fromJson(JsonReader(object(awaitRequest(client, readPath, QJsonObject(), token))));
    EXPECT_FALSE(empty.has_cloud);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(empty.revision).hasMatch());

    const QJsonObject write{{QStringLiteral("expected_revision"), empty.revision},
        {QStringLiteral("next_snapshot"), empty.snapshot.toJson()}};
    const CloudSyncSnapshot stored
        = CloudSyncSnapshot::fromJson(JsonReader(object(awaitRequest(client, writePath, write, token))));
    EXPECT_TRUE(stored.has_cloud);
    EXPECT_EQ(stored.user_id, backend.signingInUser().id);
    EXPECT_NE(stored.revision, empty.revision);
    EXPECT_EQ(failedStatus(awaitRequest(client, writePath, write, token)), 409);

    // Another account sees its own, empty copy.
    AuthUser other = backend.signingInUser();
    other.id = QStringLiteral("5a6b7c8d-9e0f-4a1b-8c2d-3e4f5a6b7c8d");
    const QString otherToken = backend.sessionFor(other).accessToken;
    EXPECT_FALSE(
        object(awaitRequest(client, readPath, QJsonObject(), otherToken)).value(QStringLiteral("has_cloud")).toBool());
    EXPECT_EQ(failedStatus(awaitRequest(client, readPath, QJsonObject(), QStringLiteral("not-a-token"))), 401);
}

} // namespace
