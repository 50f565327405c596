#pragma once

#include "Persistence/CredentialStorage.h"
#include "platform/SecretStore.h"

#include <QtGlobal>

// A credential storage in memory. `failWith(status)` makes every later call throw the
// storage error of that status, as a locked or unreachable secret store does.
class MemoryCredentialStorage final : public CredentialStorage {
public:
    std::optional<QByteArray> read() override;
    void write(const QByteArray& bytes) override;
    void remove() override;

    void failWith(SecretStore::Status status) { m_failure = status; }
    void recover() { m_failure.reset(); }

    // What is stored, for tests that plant or inspect the raw secret.
    std::optional<QByteArray> bytes;
    int writes = 0;

private:
    void throwIfFailing() const;

    std::optional<SecretStore::Status> m_failure;
};
