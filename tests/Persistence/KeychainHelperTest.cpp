#include "Persistence/KeychainHelper.h"
#include "AuthSamples.h"
#include "ErrorCapture.h"
#include "MemorySecretStore.h"

#include <gtest/gtest.h>

namespace {
const QString service = QStringLiteral("com.velmora.mac.auth.v2");
const QString account = QStringLiteral("https://project.example.co");

struct KeychainHelperTest : ::testing::Test {
    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    KeychainHelper helper{account, service, store};

    std::optional<SecretStore::Status> failureStatus(const std::function<void()>& action)
    {
        const auto error = thrownBy<KeychainHelper::StorageError>(action);
        return error ? std::optional(error->status()) : std::nullopt;
    }
};
} // namespace

TEST_F(KeychainHelperTest, WithNothingStoredReadsNothingAndDeletesWithoutError)
{
    EXPECT_EQ(helper.read(), std::nullopt);
    EXPECT_NO_THROW(helper.remove());
}

TEST_F(KeychainHelperTest, FirstWriteAddsTheItemAndASecondReplacesItInPlace)
{
    helper.write("first");
    helper.write("second");
    ASSERT_EQ(store->items.size(), 1);
    EXPECT_EQ(store->items.value({service, account}), QByteArray("second"));
    EXPECT_EQ(helper.read(), QByteArray("second"));
    helper.remove();
    EXPECT_TRUE(store->items.isEmpty());
    EXPECT_EQ(helper.read(), std::nullopt);
}

TEST_F(KeychainHelperTest, KeepsItemsOfOtherAccountsApart)
{
    KeychainHelper other(QStringLiteral("https://other.example.co"), service, store);
    other.write("theirs");
    helper.write("ours");
    EXPECT_EQ(other.read(), QByteArray("theirs"));
    helper.remove();
    EXPECT_EQ(other.read(), QByteArray("theirs"));
}

TEST_F(KeychainHelperTest, ALookupThatSucceedsWithoutDataIsDamaged)
{
    helper.write("stored");
    store->withholdData = true;
    EXPECT_EQ(failureStatus([&] { helper.read(); }), SecretStore::Status::damaged);
}

TEST_F(KeychainHelperTest, PassesEveryOtherStatusOnAsAStorageError)
{
    helper.write("stored");
    store->failWith(SecretStore::Status::locked);
    EXPECT_EQ(failureStatus([&] { helper.read(); }), SecretStore::Status::locked);
    EXPECT_EQ(failureStatus([&] { helper.write("new"); }), SecretStore::Status::locked);
    EXPECT_EQ(failureStatus([&] { helper.remove(); }), SecretStore::Status::locked);
    store->failWith(SecretStore::Status::unavailable);
    EXPECT_EQ(failureStatus([&] { helper.remove(); }), SecretStore::Status::unavailable);
    EXPECT_EQ(store->items.value({service, account}), QByteArray("stored"));
}

TEST_F(KeychainHelperTest, StorageErrorSentencesSayWhatTheSecretServiceAnswered)
{
    QStringList sentences;
    for (const auto status : {SecretStore::Status::locked, SecretStore::Status::unavailable,
             SecretStore::Status::damaged, SecretStore::Status::other}) {
        const QString sentence = KeychainHelper::StorageError(status).errorDescription();
        EXPECT_TRUE(sentence.startsWith(QStringLiteral("Secure credential storage is unavailable (")))
            << sentence.toStdString();
        EXPECT_FALSE(sentence.contains(QStringLiteral("Keychain"))) << sentence.toStdString();
        EXPECT_FALSE(sentences.contains(sentence)) << sentence.toStdString();
        sentences.append(sentence);
    }
    EXPECT_EQ(KeychainHelper::StorageError(SecretStore::Status::locked).errorDescription(),
        QStringLiteral("Secure credential storage is unavailable (the keyring is locked). Please retry; your local "
                       "library is unchanged."));
}

TEST(KeychainHelperForProject, NamesTheSessionItemByTheAddressWithoutOuterSlashes)
{
    const auto store = std::make_shared<MemorySecretStore>();
    for (const auto& [projectURL, expected] :
        {std::pair{QStringLiteral("https://abc.supabase.co"), QStringLiteral("https://abc.supabase.co")},
            std::pair{QStringLiteral("https://abc.supabase.co///"), QStringLiteral("https://abc.supabase.co")},
            std::pair{QStringLiteral("/https://abc.supabase.co/"), QStringLiteral("https://abc.supabase.co")},
            std::pair{QStringLiteral("https://abc.supabase.co/v1/"), QStringLiteral("https://abc.supabase.co/v1")},
            std::pair{QStringLiteral("///"), QString()}, std::pair{QString(), QString()}}) {
        const KeychainHelper helper = KeychainHelper::forProject(projectURL, store);
        EXPECT_EQ(helper.service(), QStringLiteral("com.velmora.mac.auth.v2"));
        EXPECT_EQ(helper.account(), expected) << projectURL.toStdString();
    }
}
