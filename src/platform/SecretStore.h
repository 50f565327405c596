#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// The user's secret store: one generic-password secret per {service, account} pair.
//
// Results are status codes of the macOS Keychain (Security framework OSStatus values: 0 is
// success, negative codes are failures). The sign-in code checks them and the user's error
// sentence quotes them ("Keychain -25308"), so they stay the same on every back end; each back
// end documents how its own failures map onto them. Every call is synchronous and may block
// while the store asks the user to unlock it, so callers keep it off the interface thread.
class SecretStore {
public:
    static constexpr qint32 success = 0;
    // No item matches the pair.
    static constexpr qint32 itemNotFound = -25300; // errSecItemNotFound
    // No store is reachable at all.
    static constexpr qint32 notAvailable = -25291; // errSecNotAvailable
    // The store is locked and was not unlocked.
    static constexpr qint32 interactionNotAllowed = -25308; // errSecInteractionNotAllowed
    // A lookup succeeded but gave no usable data.
    static constexpr qint32 decodeFailed = -26275; // errSecDecode
    // Any other failure of the store.
    static constexpr qint32 internalComponent = -2070; // errSecInternalComponent

    struct Lookup {
        qint32 status = success;
        // Set only with `success`; a success without data is possible and is the caller's to judge.
        std::optional<QByteArray> data;
    };

    virtual ~SecretStore() = default;

    // The secret of the pair, or itemNotFound.
    virtual Lookup lookup(const QString& service, const QString& account) = 0;
    // Stores `secret` for the pair, replacing the secret of an existing item in place.
    virtual qint32 store(const QString& service, const QString& account, const QByteArray& secret) = 0;
    // Removes every item of the pair; itemNotFound when there was none.
    virtual qint32 clear(const QString& service, const QString& account) = 0;
};
