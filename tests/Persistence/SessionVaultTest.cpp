#include "Persistence/SessionVault.h"
#include "AuthSamples.h"
#include "ErrorCapture.h"
#include "MemoryCredentialStorage.h"
#include "Persistence/KeychainHelper.h"

#include <gtest/gtest.h>

using AuthSamples::validSession;

namespace {
const QString projectURL = QStringLiteral("https://abc.supabase.co");

struct SessionVaultTest : ::testing::Test {
    MemoryCredentialStorage* storage = new MemoryCredentialStorage;
    SessionVault vault{projectURL, std::unique_ptr<CredentialStorage>(storage)};

    // Plants a record as another writer (an older or newer build, another project) left it.
    void plant(qint64 version, const QString& recordProject, const QJsonValue& session = validSession().toJson())
    {
        QJsonObject record;
        record.insert(QStringLiteral("version"), version);
        record.insert(QStringLiteral("projectURL"), recordProject);
        record.insert(QStringLiteral("session"), session);
        storage->bytes = VelmoraJSON::encodeCompact(record);
    }

    std::optional<AuthError> loadFailure() const
    {
        return thrownBy<AuthError>([&] { vault.load(); });
    }
};
} // namespace

TEST_F(SessionVaultTest, WithNothingStoredLoadsNothing)
{
    EXPECT_EQ(vault.load(), std::nullopt);
}

TEST_F(SessionVaultTest, SavedSessionLoadsBackUnchanged)
{
    const AuthSession session = validSession();
    vault.save(session);
    EXPECT_EQ(vault.load(), session);
}

TEST_F(SessionVaultTest, StoresOneCompactVersionedRecordBoundToTheProject)
{
    vault.save(validSession());
    ASSERT_TRUE(storage->bytes);
    EXPECT_FALSE(storage->bytes->contains('\n'));
    EXPECT_FALSE(storage->bytes->contains("\": "));
    const QJsonObject record = VelmoraJSON::parse(*storage->bytes).toObject();
    EXPECT_EQ(record.keys(),
        QStringList({QStringLiteral("projectURL"), QStringLiteral("session"), QStringLiteral("version")}));
    EXPECT_EQ(record.value(QStringLiteral("version")).toInteger(), 1);
    EXPECT_EQ(record.value(QStringLiteral("projectURL")).toString(), projectURL);
    EXPECT_TRUE(VelmoraJSON::decode<AuthSession>(VelmoraJSON::encodeCompact(record.value(QStringLiteral("session"))))
        == validSession());
}

TEST_F(SessionVaultTest, EverySaveReplacesTheStoredSession)
{
    AuthSession refreshed = validSession();
    vault.save(validSession());
    refreshed.accessToken = QStringLiteral("access.token-2");
    refreshed.expiresAt += 3600;
    vault.save(refreshed);
    EXPECT_EQ(storage->writes, 2);
    EXPECT_EQ(vault.load(), refreshed);
}

TEST_F(SessionVaultTest, RefusesARecordOfAnotherVersion)
{
    for (const qint64 version : {qint64(0), qint64(2), qint64(-1)}) {
        plant(version, projectURL);
        EXPECT_EQ(loadFailure(), AuthError::invalidStoredSession) << version;
    }
    plant(1, projectURL);
    EXPECT_EQ(vault.load(), validSession());
}

TEST_F(SessionVaultTest, RefusesARecordOfAnotherProjectEvenOneDifferingOnlyByATrailingSlash)
{
    for (const QString& other : {QString(projectURL + u'/'), QStringLiteral("https://xyz.supabase.co"),
             QStringLiteral("HTTPS://abc.supabase.co"), QString()}) {
        plant(1, other);
        const auto error = loadFailure();
        ASSERT_EQ(error, AuthError::invalidStoredSession) << other.toStdString();
        EXPECT_EQ(error->errorDescription(),
            QStringLiteral("Saved credentials could not be verified. Sign out to reset them, then sign in again."));
    }
}

TEST_F(SessionVaultTest, RefusedRecordsStayStored)
{
    plant(2, projectURL);
    const QByteArray planted = *storage->bytes;
    EXPECT_TRUE(loadFailure());
    // Compared, not printed: the record holds tokens.
    EXPECT_TRUE(storage->bytes == planted);
    EXPECT_EQ(storage->writes, 0);
}

TEST_F(SessionVaultTest, RefusesAStoredSessionThatFailsValidation)
{
    AuthSession expired = validSession();
    expired.expiresAt = 0;
    AuthSession foreignUser = validSession();
    foreignUser.user.id = QStringLiteral("42");
    AuthSession blankToken = validSession();
    blankToken.refreshToken = QStringLiteral("refresh token");
    for (const AuthSession& bad : {expired, foreignUser, blankToken}) {
        plant(1, projectURL, bad.toJson());
        EXPECT_EQ(loadFailure(), AuthError::invalidSession);
    }
}

TEST_F(SessionVaultTest, ChecksVersionAndProjectBeforeTheSession)
{
    AuthSession expired = validSession();
    expired.expiresAt = 0;
    plant(2, projectURL, expired.toJson());
    EXPECT_EQ(loadFailure(), AuthError::invalidStoredSession);
}

TEST_F(SessionVaultTest, DataThatIsNoRecordFailsWithTheDecodingErrorNotWithNothing)
{
    for (const QByteArray& bytes :
        {QByteArray("not json"), QByteArray(), QByteArray("[]"), QByteArray(R"({"version":1,"projectURL":"x"})"),
            QByteArray(R"({"version":"1","projectURL":"https://abc.supabase.co","session":{}})")}) {
        storage->bytes = bytes;
        EXPECT_THROW(vault.load(), DecodingError) << bytes.constData();
    }
}

TEST_F(SessionVaultTest, SaveRefusesAnInvalidSessionBeforeTouchingTheStorage)
{
    vault.save(validSession());
    const QByteArray good = *storage->bytes;
    AuthSession bad = validSession();
    bad.accessToken = QStringLiteral("line\nbreak");
    EXPECT_EQ(thrownBy<AuthError>([&] { vault.save(bad); }), AuthError::invalidSession);
    bad = validSession();
    bad.expiresAt = 0;
    EXPECT_EQ(thrownBy<AuthError>([&] { vault.save(bad); }), AuthError::invalidSession);
    EXPECT_EQ(storage->writes, 1);
    EXPECT_TRUE(storage->bytes == good);
}

TEST_F(SessionVaultTest, StorageFailuresPassThroughUnchanged)
{
    vault.save(validSession());
    storage->failWith(SecretStore::Status::locked);
    const auto onLoad = thrownBy<KeychainHelper::StorageError>([&] { vault.load(); });
    ASSERT_TRUE(onLoad);
    EXPECT_EQ(onLoad->status(), SecretStore::Status::locked);
    const auto onSave = thrownBy<KeychainHelper::StorageError>([&] { vault.save(validSession()); });
    ASSERT_TRUE(onSave);
    EXPECT_EQ(onSave->status(), SecretStore::Status::locked);
}

TEST(SessionVaultWithoutConfiguration, LoadsOnlyARecordWithoutAProjectToo)
{
    auto* storage = new MemoryCredentialStorage;
    const SessionVault vault(QString{}, std::unique_ptr<CredentialStorage>(storage));
    vault.save(validSession());
    EXPECT_EQ(vault.load(), validSession());

    const SessionVault configured(projectURL, std::make_unique<MemoryCredentialStorage>());
    configured.storage().write(*storage->bytes);
    EXPECT_EQ(thrownBy<AuthError>([&] { configured.load(); }), AuthError::invalidStoredSession);
}

TEST(SessionVaultSecrecy, ErrorsOfARefusedSessionNeverMentionItsTokens)
{
    auto* storage = new MemoryCredentialStorage;
    const SessionVault vault(projectURL, std::unique_ptr<CredentialStorage>(storage));
    AuthSession session = validSession();
    session.accessToken = QStringLiteral("sekrit-access");
    session.refreshToken = QStringLiteral("sekrit-refresh");
    vault.save(session);
    const QByteArray record = *storage->bytes;
    // Damage the record in several ways; whatever the error says, it must not quote a token.
    for (const QByteArray& damaged : {QByteArray(record).replace("\"version\":1", "\"version\":\"sekrit-access\""),
             QByteArray(record).replace("sekrit-access", "sekrit access"),
             QByteArray(record).replace("\"sekrit-refresh\"", "12345"), QByteArray(record).chopped(1)}) {
        storage->bytes = damaged;
        try {
            vault.load();
            ADD_FAILURE() << "a damaged record loaded";
        } catch (const VelmoraError& error) {
            EXPECT_FALSE(error.errorDescription().contains(QStringLiteral("sekrit")));
        }
    }
}
