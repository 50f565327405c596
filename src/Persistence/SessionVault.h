#pragma once

#include "Models/AuthSession.h"
#include "Persistence/CredentialStorage.h"

#include "Utilities/Result.h"

#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QObject;
class SerialWorker;

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

    // The same three operations for the interface thread. A storage that may wait for the
    // user runs them on a thread of its own, one after another in the order asked, and each
    // `done` comes back through the event loop; any other storage runs them and calls `done`
    // before returning. `done` is dropped when `receiver` is gone by then. An error reaches
    // `done` as the failure (load) or as the error (save, remove; none on success).
    using Failure = std::optional<ErrorValue>;
    void loadLater(QObject* receiver, std::function<void(Result<std::optional<AuthSession>>)> done) const;
    void saveLater(const AuthSession& session, QObject* receiver, std::function<void(Failure)> done) const;
    void removeLater(QObject* receiver, std::function<void(Failure)> done) const;

private:
    // The stored form of `session`; throws AuthError::invalidSession for a session that fails
    // validation.
    QByteArray recordFor(const AuthSession& session) const;
    template <class T> void runLater(std::function<T()> work, QObject* receiver, std::function<void(T)> done) const;

    QString m_projectURL;
    // Shared with copies; the worker's jobs hold it too, so a job may outlive the vault.
    std::shared_ptr<CredentialStorage> m_storage;
    std::shared_ptr<SerialWorker> m_worker;
};
