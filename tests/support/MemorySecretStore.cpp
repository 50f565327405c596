#include "MemorySecretStore.h"

SecretStore::Lookup MemorySecretStore::lookup(const QString& service, const QString& account)
{
    if (m_failure)
        return {*m_failure, std::nullopt};
    const auto it = items.constFind({service, account});
    if (it == items.constEnd())
        return {Status::notFound, std::nullopt};
    if (withholdData)
        return {Status::success, std::nullopt};
    return {Status::success, *it};
}

SecretStore::Status MemorySecretStore::store(const QString& service, const QString& account, const QByteArray& secret)
{
    if (m_failure)
        return *m_failure;
    items.insert({service, account}, secret);
    return Status::success;
}

SecretStore::Status MemorySecretStore::clear(const QString& service, const QString& account)
{
    if (m_failure)
        return *m_failure;
    return items.remove({service, account}) > 0 ? Status::success : Status::notFound;
}
