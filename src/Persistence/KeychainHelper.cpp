#include "Persistence/KeychainHelper.h"

#include "Utilities/Text.h"

QString KeychainHelper::StorageError::errorDescription() const
{
    return QStringLiteral("Secure credential storage is unavailable (Keychain %1). Please retry; your local library is unchanged.")
        .arg(m_status);
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
    if (found.status == SecretStore::itemNotFound)
        return std::nullopt;
    if (found.status != SecretStore::success)
        throw StorageError(found.status);
    if (!found.data)
        throw StorageError(SecretStore::decodeFailed);
    return std::move(found.data);
}

void KeychainHelper::write(const QByteArray& bytes)
{
    const qint32 status = m_store->store(m_service, m_account, bytes);
    if (status != SecretStore::success)
        throw StorageError(status);
}

void KeychainHelper::remove()
{
    const qint32 status = m_store->clear(m_service, m_account);
    if (status != SecretStore::success && status != SecretStore::itemNotFound)
        throw StorageError(status);
}
