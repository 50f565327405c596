#pragma once

#include "Persistence/CredentialStorage.h"
#include "Models/AuthSession.h"

#include <QString>
#include <memory>

// Keeps the signed-in session in a credential storage as a small versioned record bound to
// one backend project, and checks it on the way in and on the way out. Nothing is cached:
// every load reads the storage afresh. A copy shares the storage.
class SessionVault {
public:
    SessionVault(QString projectURL, std::unique_ptr<CredentialStorage> storage);

    // The backend project address the stored session must belong to, exactly as configured.
    const QString& projectURL() const { return m_projectURL; }
    CredentialStorage& storage() const { return *m_storage; }

    // The stored session, or nothing when none is stored. Passes on the storage's error and
    // the decoding error of a record that is not ours; throws AuthError::invalidStoredSession
    // for a record of another version or project and AuthError::invalidSession for a session
    // that fails validation. The stored item is never changed here.
    std::optional<AuthSession> load() const;

    // Stores `session`, replacing the stored one. Throws AuthError::invalidSession before
    // touching the storage, so a bad session never replaces a good one; passes on the
    // storage's error.
    void save(const AuthSession& session) const;

private:
    QString m_projectURL;
    // Shared with copies that load on another thread and may outlive this one.
    std::shared_ptr<CredentialStorage> m_storage;
};
