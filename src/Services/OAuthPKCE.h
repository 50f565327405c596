#pragma once

#include "Utilities/BackendConfiguration.h"

#include <QString>
#include <QUrl>
#include <optional>

// The secret half of one Google sign-in (an OAuth authorization code exchange protected by
// PKCE, RFC 7636) and the pure steps around it. A new value is made for every attempt and
// dropped when it ends; the verifier is never stored.
class OAuthPKCE {
public:
    // Where the provider sends the browser back to: this program's own URL scheme.
    static const QString callbackURL;
    // The longest authorization code accepted, in characters.
    static constexpr qsizetype longestCode = 2048;

    // A fresh verifier from the system's secure random generator.
    OAuthPKCE();
    // A known verifier (43 base64url characters).
    explicit OAuthPKCE(QString verifier);

    const QString& verifier() const { return m_verifier; }
    // The S256 transformation of the verifier.
    QString challenge() const;

    // The backend's authorize address for the browser. Throws AccessError notConfigured or
    // disabled, or AuthError::invalidCallback when no address can be built.
    QUrl authorizeURL(const std::optional<BackendConfiguration>& configuration) const;

    // The authorization code in the callback URL, exactly as the browser handed it over.
    // Throws AuthError::providerDenied when the provider reported an error, and
    // AuthError::invalidCallback for anything but this program's callback address with a
    // single, plausible "code".
    static QString authorizationCode(const QString& callback);

private:
    QString m_verifier;
};
