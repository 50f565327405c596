#include "MemorySecretStore.h"

SecretStore::Lookup MemorySecretStore::lookup(const QString& service, const QString& account)
{
    if (m_failure)
        return {*m_failure, std::nullopt};
    const auto it = items.constFind({service, account});
    if (it == items.constEnd())
        return {itemNotFound, std::nullopt};
    if (withholdData)
        return {success, std::nullopt};
    return {success, *it};
}

qint32 MemorySecretStore::store(const QString& service, const QString& account, const QByteArray& secret)
{
    if (m_failure)
        return *m_failure;
    items.insert({service, account}, secret);
    return success;
}

qint32 MemorySecretStore::clear(const QString& service, const QString& account)
{
    if (m_failure)
        return *m_failure;
    return items.remove({service, account}) > 0 ? success : itemNotFound;
}
