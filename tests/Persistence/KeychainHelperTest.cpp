#include "AuthSamples.h"
#include "ErrorCapture.h"
#include "MemorySecretStore.h"
#include "Persistence/KeychainHelper.h"

#include <gtest/gtest.h>

namespace {
const QString service = QStringLiteral("com.velmora.mac.auth.v2");
const QString account = QStringLiteral("https://project.example.co");

struct KeychainHelperTest : ::testing::Test {
    std::shared_ptr<MemorySecretStore> store = std::make_shared<MemorySecretStore>();
    KeychainHelper helper{account, service, store};

    std::optional<qint32> failureStatus(const std::function<void()>& action)
    {
        const auto error = thrownBy<KeychainHelper::StorageError>(action);
        return error ? std::optional<qint32>(error->status()) : std::nullopt;
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

TEST_F(KeychainHelperTest, ALookupThatSucceedsWithoutDataIsADecodeFailure)
{
    helper.write("stored");
    store->withholdData = true;
    EXPECT_EQ(failureStatus([&] { helper.read(); }), -26275);
}

TEST_F(KeychainHelperTest, PassesEveryOtherStatusOnAsAStorageError)
{
    helper.write("stored");
    store->failWith(SecretStore::interactionNotAllowed);
    EXPECT_EQ(failureStatus([&] { helper.read(); }), -25308);
    EXPECT_EQ(failureStatus([&] { helper.write("new"); }), -25308);
    EXPECT_EQ(failureStatus([&] { helper.remove(); }), -25308);
    store->failWith(SecretStore::notAvailable);
    EXPECT_EQ(failureStatus([&] { helper.remove(); }), -25291);
    EXPECT_EQ(store->items.value({service, account}), QByteArray("stored"));
}

TEST_F(KeychainHelperTest, StorageErrorSentenceCarriesTheSignedStatus)
{
    EXPECT_EQ(KeychainHelper::StorageError(-25308).errorDescription(),
        QStringLiteral("Secure credential storage is unavailable (Keychain -25308). Please retry; your local library is unchanged."));
    EXPECT_STREQ(KeychainHelper::StorageError(7).what(),
        "Secure credential storage is unavailable (Keychain 7). Please retry; your local library is unchanged.");
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
