#include "MemoryCredentialStorage.h"

#include "Persistence/KeychainHelper.h"

void MemoryCredentialStorage::throwIfFailing() const
{
    if (m_failure)
        throw KeychainHelper::StorageError(*m_failure);
}

std::optional<QByteArray> MemoryCredentialStorage::read()
{
    throwIfFailing();
    return bytes;
}

void MemoryCredentialStorage::write(const QByteArray& data)
{
    throwIfFailing();
    bytes = data;
    ++writes;
}

void MemoryCredentialStorage::remove()
{
    throwIfFailing();
    bytes.reset();
}
