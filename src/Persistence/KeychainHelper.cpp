#include "Persistence/KeychainHelper.h"

#include "Utilities/Text.h"

namespace {
QString reasonOf(SecretStore::Status status)
{
    switch (status) {
    case SecretStore::Status::locked: return QStringLiteral("the keyring is locked");
    case SecretStore::Status::unavailable: return QStringLiteral("no Secret Service is running");
    case SecretStore::Status::notFound: return QStringLiteral("the sign-in item is missing");
    case SecretStore::Status::damaged: return QStringLiteral("the stored sign-in cannot be read");
    case SecretStore::Status::success:
    case SecretStore::Status::other: break;
    }
    return QStringLiteral("the Secret Service reported an error");
}
} // namespace

QString KeychainHelper::StorageError::errorDescription() const
{
    return QStringLiteral(
        "Secure credential storage is unavailable (%1). Please retry; your local library is unchanged.")
        .arg(reasonOf(m_status));
}

KeychainHelper::KeychainHelper(QString account, QString service, std::shared_ptr<SecretStore> store)
    : m_account(std::move(account))
    , m_service(std::move(service))
    , m_store(std::move(store))
{
}

KeychainHelper KeychainHelper::forProject(const QString& projectURL, std::shared_ptr<SecretStore> store)
{
    return KeychainHelper(Text::trimmedOf(projectURL, u'/'), sessionService(), std::move(store));
}

std::optional<QByteArray> KeychainHelper::read()
{
    SecretStore::Lookup found = m_store->lookup(m_service, m_account);
    if (found.status == SecretStore::Status::notFound)
        return std::nullopt;
    if (found.status != SecretStore::Status::success)
        throw StorageError(found.status);
    if (!found.data)
        throw StorageError(SecretStore::Status::damaged);
    return std::move(found.data);
}

void KeychainHelper::write(const QByteArray& bytes)
{
    const SecretStore::Status status = m_store->store(m_service, m_account, bytes);
    if (status != SecretStore::Status::success)
        throw StorageError(status);
}

void KeychainHelper::remove()
{
    const SecretStore::Status status = m_store->clear(m_service, m_account);
    if (status != SecretStore::Status::success && status != SecretStore::Status::notFound)
        throw StorageError(status);
}
