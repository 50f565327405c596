#include "Services/OAuthPKCE.h"
#include "AuthSamples.h"
#include "ErrorCapture.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using AccessError = BackendConfiguration::AccessError;

std::optional<AuthError> refusal(const QString& callback)
{
    return thrownBy<AuthError>([&] { OAuthPKCE::authorizationCode(callback); });
}

QString callbackWith(const QString& query)
{
    return OAuthPKCE::callbackURL + query;
}

BackendConfiguration project(const QString& address)
{
    return BackendConfiguration{address, QStringLiteral("sb_publishable_abc"), true, false};
}

TEST(OAuthPKCE, TheChallengeIsTheS256OfTheVerifier)
{
    // RFC 7636, appendix B.
    EXPECT_EQ(OAuthPKCE(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")).challenge(),
        QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
}

TEST(OAuthPKCE, EveryAttemptHasANewVerifierOf32RandomBytesInBase64url)
{
    const QRegularExpression base64url(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    const OAuthPKCE first;
    const OAuthPKCE second;
    EXPECT_TRUE(base64url.match(first.verifier()).hasMatch()) << first.verifier().size();
    EXPECT_TRUE(base64url.match(second.verifier()).hasMatch());
    EXPECT_NE(first.verifier(), second.verifier());
}

TEST(OAuthPKCE, TheAuthorizeAddressKeepsTheProjectAndListsItsItemsInOrder)
{
    const OAuthPKCE pkce;
    const QUrl url = pkce.authorizeURL(project(QStringLiteral("https://project.example.com:8443/")));
    EXPECT_EQ(url.scheme(), QStringLiteral("https"));
    EXPECT_EQ(url.host(), QStringLiteral("project.example.com"));
    EXPECT_EQ(url.port(), 8443);
    EXPECT_EQ(url.path(), QStringLiteral("/auth/v1/authorize"));
    EXPECT_EQ(url.query(QUrl::FullyEncoded),
        QStringLiteral(
            "provider=google&redirect_to=velmora://auth-callback&code_challenge=%1&code_challenge_method=s256")
            .arg(pkce.challenge()));
}

TEST(OAuthPKCE, NoAuthorizeAddressWithoutAUsableCloudConfiguration)
{
    const OAuthPKCE pkce;
    BackendConfiguration off = project(QStringLiteral("https://project.example.com"));
    off.cloudEnabled = false;
    auto refused = [&](const std::optional<BackendConfiguration>& configuration) {
        return thrownBy<AccessError>([&] { pkce.authorizeURL(configuration); });
    };
    EXPECT_EQ(refused(off), AccessError::disabled);
    EXPECT_EQ(refused(std::nullopt), AccessError::notConfigured);
    EXPECT_EQ(refused(project(QStringLiteral("https://project.example.com/base"))), AccessError::notConfigured);
}

TEST(OAuthPKCE, TheCallbackYieldsItsCode)
{
    EXPECT_EQ(OAuthPKCE::authorizationCode(callbackWith(QStringLiteral("?code=abc"))), QStringLiteral("abc"));
    EXPECT_EQ(OAuthPKCE::authorizationCode(callbackWith(QStringLiteral("?code=a%2Bb+c"))), QStringLiteral("a+b+c"));
}

TEST(OAuthPKCE, AnErrorAnywhereInTheCallbackIsTheProvidersRefusal)
{
    for (const char* query : {"?error=access_denied", "?code=abc&error=x", "?error", "?state=1&error=x&code=abc"})
        EXPECT_EQ(refusal(callbackWith(QString::fromLatin1(query))), AuthError::providerDenied) << query;
}

TEST(OAuthPKCE, RefusesEveryOtherShapeOfCallback)
{
    for (const char* callback :
        {"velmora://auth-callback?code=abc&state=xyz", "velmora://auth-callback?state=xyz",
            "velmora://auth-callback?code=abc&", "velmora://auth-callback?code=abc&code=abc",
            "velmora://auth-callback/?code=abc", "velmora://auth-callback?code=abc#top",
            "velmora://auth-callback:80?code=abc", "velmora://user@auth-callback?code=abc", "velmora://auth-callback",
            "velmora://auth-callback?", "velmora://auth-callback?code=", "velmora://auth-callback?code",
            "velmora://auth-callback?code=a%20b", "velmora://auth-callback?code=a%0Ab",
            "Velmora://auth-callback?code=abc", "velmora://Auth-Callback?code=abc", "velmora://auth-callbackx?code=abc",
            "https://auth-callback?code=abc", "velmora://auth-callback?code=a%zzb", ""})
        EXPECT_EQ(refusal(QString::fromLatin1(callback)), AuthError::invalidCallback) << callback;
}

TEST(OAuthPKCE, CodesUpTo2048CharactersAreAccepted)
{
    const QString longest(OAuthPKCE::longestCode, u'c');
    EXPECT_EQ(OAuthPKCE::authorizationCode(callbackWith(QStringLiteral("?code=") + longest)), longest);
    EXPECT_EQ(refusal(callbackWith(QStringLiteral("?code=") + longest + u'c')), AuthError::invalidCallback);
}

} // namespace
