#pragma once

#include "Models/AuthSession.h"

// The backend's reply to the code grant and to the refresh grant; read, never written.
// Members of the reply other than these four are ignored.
struct TokenResponse {
    QString accessToken; // "access_token"
    QString refreshToken; // "refresh_token"
    qint64 expiresIn = 0; // "expires_in", seconds of validity
    AuthUser user;

    static TokenResponse fromJson(const JsonReader& reader);

    // The session this reply grants, expiring expiresIn seconds from now (Clock::current()).
    // Throws AuthError::invalidSession for a validity outside one second to seven days or a
    // session that fails AuthSession::validate().
    AuthSession session() const;
};
