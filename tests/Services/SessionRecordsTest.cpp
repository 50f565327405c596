#include "AuthSamples.h"
#include "ErrorCapture.h"
#include "ManualClock.h"
#include "Services/TokenResponse.h"

#include <gtest/gtest.h>

using AuthSamples::validSession;

namespace {
std::optional<AuthError> validationFailure(const AuthSession& session)
{
    return thrownBy<AuthError>([&] { session.validate(); });
}

QByteArray tokenReply(qint64 expiresIn, const QString& userID = QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff"))
{
    return QStringLiteral(R"({"access_token":"acc","refresh_token":"ref","expires_in":%1,"token_type":"bearer",)"
                          R"("user":{"id":"%2","aud":"authenticated"}})")
        .arg(expiresIn)
        .arg(userID)
        .toUtf8();
}

AuthSession sessionFromReply(const QByteArray& reply)
{
    return VelmoraJSON::decode<TokenResponse>(reply).session();
}
} // namespace

TEST(SessionValidation, AcceptsAWellFormedSession)
{
    EXPECT_FALSE(validationFailure(validSession()));
}

TEST(SessionValidation, RefusesAUserIdThatIsNotUuidText)
{
    for (const QString& id :
        {QString(), QStringLiteral("user-1"), QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"),
            QStringLiteral("6F9619FF8B86D011B42D00C04FC964FF"),
            QStringLiteral(" 6F9619FF-8B86-D011-B42D-00C04FC964FF")}) {
        AuthSession session = validSession();
        session.user.id = id;
        EXPECT_EQ(validationFailure(session), AuthError::invalidSession) << id.toStdString();
    }
}

TEST(SessionValidation, RefusesAnExpiryBeforeTheFirstSecond)
{
    AuthSession session = validSession();
    session.expiresAt = 0;
    EXPECT_EQ(validationFailure(session), AuthError::invalidSession);
    session.expiresAt = -5;
    EXPECT_EQ(validationFailure(session), AuthError::invalidSession);
    session.expiresAt = 1;
    EXPECT_FALSE(validationFailure(session));
}

TEST(SessionValidation, RefusesEmptyTokens)
{
    AuthSession noAccess = validSession();
    noAccess.accessToken.clear();
    EXPECT_EQ(validationFailure(noAccess), AuthError::invalidSession);
    AuthSession noRefresh = validSession();
    noRefresh.refreshToken.clear();
    EXPECT_EQ(validationFailure(noRefresh), AuthError::invalidSession);
}

TEST(SessionValidation, RefusesTokensWithAnyKindOfWhiteSpace)
{
    // Space, tab, line feed, carriage return, no-break space, line separator, ideographic space.
    for (const char16_t blank : {u' ', u'\t', u'\n', u'\r', u'\u00A0', u'\u2028', u'\u3000'}) {
        AuthSession access = validSession();
        access.accessToken.insert(3, QChar(blank));
        EXPECT_EQ(validationFailure(access), AuthError::invalidSession) << int(blank);
        AuthSession refresh = validSession();
        refresh.refreshToken.append(QChar(blank));
        EXPECT_EQ(validationFailure(refresh), AuthError::invalidSession) << int(blank);
    }
}

TEST(SessionValidation, AcceptsTokensBeyondTheBasicPlane)
{
    AuthSession session = validSession();
    session.accessToken.append(QStringLiteral("\U0001F511"));
    EXPECT_FALSE(validationFailure(session));
}

TEST(SessionJson, WritesTheFourFieldsUnderTheirNamesAndReadsThemBack)
{
    const AuthSession session = validSession();
    const QJsonObject json = session.toJson().toObject();
    EXPECT_EQ(json.keys(),
        QStringList({QStringLiteral("accessToken"), QStringLiteral("expiresAt"), QStringLiteral("refreshToken"),
            QStringLiteral("user")}));
    EXPECT_EQ(json.value(QStringLiteral("expiresAt")).toInteger(), 1'900'000'000);
    const QJsonObject user = json.value(QStringLiteral("user")).toObject();
    EXPECT_EQ(user.value(QStringLiteral("user_metadata")).toObject().value(QStringLiteral("full_name")).toString(),
        QStringLiteral("Ada Lovelace"));
    EXPECT_EQ(VelmoraJSON::decode<AuthSession>(VelmoraJSON::encodeCompact(json)), session);
}

TEST(SessionJson, RequiresAllFourFields)
{
    const QJsonObject complete = validSession().toJson().toObject();
    for (const QString& key : complete.keys()) {
        QJsonObject partial = complete;
        partial.remove(key);
        EXPECT_THROW(VelmoraJSON::decode<AuthSession>(VelmoraJSON::encodeCompact(partial)), DecodingError)
            << key.toStdString();
    }
    QJsonObject fractional = complete;
    fractional.insert(QStringLiteral("expiresAt"), 1.5);
    EXPECT_THROW(VelmoraJSON::decode<AuthSession>(VelmoraJSON::encodeCompact(fractional)), DecodingError);
}

TEST(UserJson, OmitsAbsentOptionalMembersAndReadsNullAsAbsent)
{
    const AuthUser bare
        = VelmoraJSON::decode<AuthUser>(R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","email":null})");
    EXPECT_FALSE(bare.email);
    EXPECT_FALSE(bare.user_metadata);
    EXPECT_EQ(bare.toJson().toObject().keys(), QStringList({QStringLiteral("id")}));

    const AuthUser named
        = VelmoraJSON::decode<AuthUser>(R"({"id":"x","user_metadata":{"avatar_url":"https://a/b.png","iss":"g"}})");
    ASSERT_TRUE(named.user_metadata);
    EXPECT_FALSE(named.user_metadata->full_name);
    EXPECT_EQ(named.toJson().toObject().value(QStringLiteral("user_metadata")).toObject().keys(),
        QStringList({QStringLiteral("avatar_url")}));
    EXPECT_THROW(VelmoraJSON::decode<AuthUser>(R"({"email":"a@b.c"})"), DecodingError);
    EXPECT_THROW(VelmoraJSON::decode<AuthUser>(R"({"id":"x","user_metadata":"Ada"})"), DecodingError);
}

TEST(TokenReply, ExpiresThatManySecondsAfterNowInWholeSeconds)
{
    ManualClock clock(QDateTime::fromMSecsSinceEpoch(1'700'000'000'999, Qt::UTC));
    const AuthSession session = sessionFromReply(tokenReply(3600));
    EXPECT_EQ(session.expiresAt, 1'700'003'600);
    EXPECT_EQ(session.user.id, QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    AuthSession expected{QStringLiteral("acc"), QStringLiteral("ref"), 1'700'003'600, session.user};
    EXPECT_EQ(session, expected);
}

TEST(TokenReply, AcceptsOneSecondToSevenDaysOfValidity)
{
    ManualClock clock;
    EXPECT_NO_THROW(sessionFromReply(tokenReply(1)));
    EXPECT_NO_THROW(sessionFromReply(tokenReply(604800)));
    for (const qint64 bad : {qint64(0), qint64(-60), qint64(604801)}) {
        const auto error = thrownBy<AuthError>([&] { sessionFromReply(tokenReply(bad)); });
        ASSERT_EQ(error, AuthError::invalidSession) << bad;
        EXPECT_EQ(
            error->errorDescription(), QStringLiteral("The server returned an invalid session. Please sign in again."));
    }
}

TEST(TokenReply, RefusesASessionThatFailsValidation)
{
    ManualClock clock;
    EXPECT_EQ(thrownBy<AuthError>([] { sessionFromReply(tokenReply(3600, QStringLiteral("not-a-uuid"))); }),
        AuthError::invalidSession);
    const QByteArray blankToken
        = R"({"access_token":"a b","refresh_token":"r","expires_in":60,"user":{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF"}})";
    EXPECT_EQ(thrownBy<AuthError>([&] { sessionFromReply(blankToken); }), AuthError::invalidSession);
}

TEST(TokenReply, NeedsAllFourMembers)
{
    for (const char* key : {"access_token", "refresh_token", "expires_in", "user"}) {
        QJsonObject reply = VelmoraJSON::parse(tokenReply(60)).toObject();
        reply.remove(QLatin1String(key));
        EXPECT_THROW(VelmoraJSON::decode<TokenResponse>(VelmoraJSON::encodeCompact(reply)), DecodingError) << key;
    }
}

TEST(TokenReply, WithoutEmailOrMetadataRoundTripsThroughTheSessionJson)
{
    ManualClock clock;
    const AuthSession session = sessionFromReply(tokenReply(60));
    const QJsonObject user = session.toJson().toObject().value(QStringLiteral("user")).toObject();
    EXPECT_EQ(user.keys(), QStringList({QStringLiteral("id")}));
    EXPECT_EQ(VelmoraJSON::decode<AuthSession>(VelmoraJSON::encodeCompact(session.toJson())), session);
}

TEST(AuthErrorSentences, EveryCaseHasItsOwnSentence)
{
    const std::pair<AuthError::Code, const char*> table[] = {
        {AuthError::invalidStoredSession,
            "Saved credentials could not be verified. Sign out to reset them, then sign in again."},
        {AuthError::invalidSession, "The server returned an invalid session. Please sign in again."},
        {AuthError::invalidCallback, "The sign-in callback could not be verified. Please try again."},
        {AuthError::providerDenied, "Google sign-in was not completed. Please try again."},
        {AuthError::randomGenerationFailed, "Secure sign-in could not be started. Please retry."},
        {AuthError::signedOut, "Please sign in first."},
        {AuthError::busy, "A sign-in is already in progress, or an account is already signed in."},
        {AuthError::sessionChanged, "The account changed. Please retry this action."},
        {AuthError::cancelled, "Sign-in cancelled."},
        {AuthError::browserUnavailable, "The sign-in window could not be opened."},
    };
    for (const auto& [code, sentence] : table) {
        const AuthError error(code);
        EXPECT_EQ(error.errorDescription(), QString::fromUtf8(sentence));
        EXPECT_STREQ(error.what(), sentence);
    }
}

TEST(AuthErrorSentences, ErrorsAreEqualExactlyWhenTheirCasesAre)
{
    EXPECT_EQ(AuthError(AuthError::busy), AuthError::busy);
    EXPECT_NE(AuthError(AuthError::busy), AuthError::cancelled);
    const VelmoraError& asBase = AuthError(AuthError::signedOut);
    EXPECT_EQ(asBase.errorDescription(), QStringLiteral("Please sign in first."));
}
