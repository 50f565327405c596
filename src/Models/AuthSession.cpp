#include "Models/AuthSession.h"

#include "Models/AuthError.h"
#include "Utilities/Text.h"
#include "Utilities/Uuid.h"

namespace {
// A token goes into an HTTP header and the credential record as it is, so any white space
// (line breaks included) would either break the header or signal a mangled reply.
bool isUsableToken(const QString& token)
{
    return !token.isEmpty() && !Text::containsWhitespace(token);
}
} // namespace

void AuthSession::validate() const
{
    if (!Uuid::parse(user.id) || expiresAt < 1 || !isUsableToken(accessToken) || !isUsableToken(refreshToken))
        throw AuthError(AuthError::invalidSession);
}

AuthSession AuthSession::fromJson(const JsonReader& r)
{
    AuthSession s;
    s.accessToken = r.required<QString>(QStringLiteral("accessToken"));
    s.refreshToken = r.required<QString>(QStringLiteral("refreshToken"));
    s.expiresAt = r.required<qint64>(QStringLiteral("expiresAt"));
    s.user = r.required<AuthUser>(QStringLiteral("user"));
    return s;
}

QJsonValue AuthSession::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("accessToken"), accessToken);
    o.insert(QStringLiteral("refreshToken"), refreshToken);
    o.insert(QStringLiteral("expiresAt"), expiresAt);
    o.insert(QStringLiteral("user"), user.toJson());
    return o;
}
