#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The user's secret store (on Linux the Secret Service: GNOME Keyring, KWallet): one
// generic-password secret per {service, account} pair. Every call is synchronous and may
// block while the store asks the user to unlock it, so callers keep it off the interface
// thread.
class SecretStore {
public:
    enum class Status {
        success,
        // No item matches the pair.
        notFound,
        // The store is locked and was not unlocked.
        locked,
        // No store is reachable at all.
        unavailable,
        // A lookup succeeded but gave no usable data.
        damaged,
        // Any other failure of the store.
        other,
    };

    struct Lookup {
        Status status = Status::success;
        // Set only with `success`; a success without data is possible and is the caller's to judge.
        std::optional<QByteArray> data;
    };

    virtual ~SecretStore() = default;

    // The secret of the pair, or notFound.
    virtual Lookup lookup(const QString& service, const QString& account) = 0;
    // Stores `secret` for the pair, replacing the secret of an existing item in place.
    virtual Status store(const QString& service, const QString& account, const QByteArray& secret) = 0;
    // Removes every item of the pair; notFound when there was none.
    virtual Status clear(const QString& service, const QString& account) = 0;
};
