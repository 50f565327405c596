#pragma once

#include "Persistence/CredentialStorage.h"
#include "Utilities/VelmoraError.h"
#include "platform/SecretStore.h"

#include <QString>
#include <memory>

// The credential storage of the running system: one generic-password item of the user's
// secret store, named by `service` and `account`.
class KeychainHelper final : public CredentialStorage {
public:
    // A failed call of the secret store, with its status.
    class StorageError final : public VelmoraError {
    public:
        explicit StorageError(SecretStore::Status status)
            : m_status(status)
        {
        }
        SecretStore::Status status() const { return m_status; }
        QString errorDescription() const override;

    private:
        SecretStore::Status m_status;
    };

    // The service name under which the sign-in session is kept.
    static QString sessionService() { return QStringLiteral("com.velmora.mac.auth.v2"); }

    KeychainHelper(QString account, QString service, std::shared_ptr<SecretStore> store);

    // The item of the sign-in session for the backend project at `projectURL`: the account is
    // the address without its leading and trailing "/".
    static KeychainHelper forProject(const QString& projectURL, std::shared_ptr<SecretStore> store);

    const QString& account() const { return m_account; }
    const QString& service() const { return m_service; }

    std::optional<QByteArray> read() override;
    void write(const QByteArray& bytes) override;
    void remove() override;
    // The Secret Service asks the user to unlock a locked keyring during any call.
    bool mayWaitForUser() const override { return true; }

private:
    QString m_account;
    QString m_service;
    std::shared_ptr<SecretStore> m_store;
};
