#pragma once

#include <QByteArray>
#include <optional>

// Where one secret byte blob is kept. Every operation throws a VelmoraError on failure.
class CredentialStorage {
public:
    virtual ~CredentialStorage() = default;

    // The stored bytes, or nothing when no secret is stored.
    virtual std::optional<QByteArray> read() = 0;
    // Stores `bytes`, replacing any earlier secret.
    virtual void write(const QByteArray& bytes) = 0;
    // Removes the secret; removing a secret that does not exist succeeds.
    virtual void remove() = 0;
    // Whether a call may wait for the user (a keyring asking to be unlocked): such a storage
    // is only used off the interface thread, one call at a time. Safe to call from another
    // thread when true.
    virtual bool mayWaitForUser() const { return false; }
};
