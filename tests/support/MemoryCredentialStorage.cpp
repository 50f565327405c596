#include "MemoryCredentialStorage.h"

#include "Persistence/KeychainHelper.h"

bool MemoryCredentialStorage::answer(bool unlock)
{
    if (!m_prompts.tryAcquire(1, 5000))
        return false;
    m_unlock = unlock;
    m_answers.release();
    return true;
}

void MemoryCredentialStorage::prompt()
{
    if (!m_prompting)
        return;
    m_prompts.release();
    m_answers.acquire();
    if (!m_unlock)
        throw KeychainHelper::StorageError(SecretStore::Status::locked);
}

void MemoryCredentialStorage::throwIfFailing() const
{
    if (m_failure)
        throw KeychainHelper::StorageError(*m_failure);
}

std::optional<QByteArray> MemoryCredentialStorage::read()
{
    prompt();
    throwIfFailing();
    return bytes;
}

void MemoryCredentialStorage::write(const QByteArray& data)
{
    prompt();
    throwIfFailing();
    bytes = data;
    ++writes;
}

void MemoryCredentialStorage::remove()
{
    prompt();
    throwIfFailing();
    bytes.reset();
}
