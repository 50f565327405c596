#pragma once

#include "Models/AuthUser.h"

// The signed-in session, in the form the credential store keeps it. The tokens are secrets:
// nothing in the system prints, logs or writes them anywhere but the credential store.
struct AuthSession {
    QString accessToken;
    QString refreshToken;
    qint64 expiresAt = 0; // whole seconds since 1970-01-01 UTC
    AuthUser user;

    // Throws AuthError::invalidSession unless the user id is UUID text, expiresAt is at least
    // 1, and both tokens are non-empty and free of white space.
    void validate() const;

    static AuthSession fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const AuthSession&, const AuthSession&) = default;
};
