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
};
