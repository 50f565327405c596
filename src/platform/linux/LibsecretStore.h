#pragma once

#include "platform/SecretStore.h"

// The secret store of a Linux desktop: the Secret Service (gnome-keyring, KWallet's bridge,
// KeePassXC, ...) reached through libsecret. Items live in the default collection under the
// attributes {service, account}; there is deliberately no fallback to a file when no service
// answers, the caller gets notAvailable instead.
class LibsecretStore final : public SecretStore {
public:
    Lookup lookup(const QString& service, const QString& account) override;
    Status store(const QString& service, const QString& account, const QByteArray& secret) override;
    Status clear(const QString& service, const QString& account) override;
};
