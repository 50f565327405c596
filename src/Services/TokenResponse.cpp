#include "Services/TokenResponse.h"

#include "Models/AuthError.h"
#include "Utilities/Clock.h"

namespace {
constexpr qint64 longestValidity = 7 * 24 * 60 * 60;
}

TokenResponse TokenResponse::fromJson(const JsonReader& r)
{
    TokenResponse t;
    t.accessToken = r.required<QString>(QStringLiteral("access_token"));
    t.refreshToken = r.required<QString>(QStringLiteral("refresh_token"));
    t.expiresIn = r.required<qint64>(QStringLiteral("expires_in"));
    t.user = r.required<AuthUser>(QStringLiteral("user"));
    return t;
}

AuthSession TokenResponse::session() const
{
    if (expiresIn < 1 || expiresIn > longestValidity)
        throw AuthError(AuthError::invalidSession);
    const qint64 now = Clock::current().now().toSecsSinceEpoch();
    AuthSession s{accessToken, refreshToken, now + expiresIn, user};
    s.validate();
    return s;
}
