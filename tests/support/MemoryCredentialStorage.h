#pragma once

#include "Persistence/CredentialStorage.h"
#include "platform/SecretStore.h"

#include <QSemaphore>
#include <QtGlobal>
#include <atomic>

// A credential storage in memory. `failWith(status)` makes every later call throw the
// storage error of that status, as a locked or unreachable secret store does.
// `promptBeforeEachCall()` makes it a keyring that asks to be unlocked: every later call waits,
// on whatever thread makes it, until the test answers it.
class MemoryCredentialStorage final : public CredentialStorage {
public:
    std::optional<QByteArray> read() override;
    void write(const QByteArray& bytes) override;
    void remove() override;
    bool mayWaitForUser() const override { return m_prompting; }

    void failWith(SecretStore::Status status) { m_failure = status; }
    void recover() { m_failure.reset(); }

    void promptBeforeEachCall() { m_prompting = true; }
    // A call waits for its answer now.
    bool isAsking() const { return m_prompts.available() > 0; }
    // Waits (boundedly) until a call asks, then lets it go on unlocked or fail as still locked.
    bool answer(bool unlock);

    // What is stored, for tests that plant or inspect the raw secret. While prompting, read it
    // only once the call that changes it has been answered and has come back.
    std::optional<QByteArray> bytes;
    int writes = 0;

private:
    void prompt();
    void throwIfFailing() const;

    std::optional<SecretStore::Status> m_failure;
    std::atomic<bool> m_prompting = false;
    std::atomic<bool> m_unlock = false;
    QSemaphore m_prompts;
    QSemaphore m_answers;
};
