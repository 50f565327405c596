#include "AuthSamples.h"

namespace AuthSamples {

AuthSession validSession()
{
    AuthUser user;
    user.id = QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF");
    user.email = QStringLiteral("ada@example.com");
    user.user_metadata
        = AuthUser::UserMetadata{QStringLiteral("Ada Lovelace"), QStringLiteral("https://example.com/ada.png")};
    return AuthSession{QStringLiteral("access.token-1"), QStringLiteral("refresh-token-1"), 1'900'000'000, user};
}

} // namespace AuthSamples

void PrintTo(const AuthSession& session, std::ostream* out)
{
    *out << "AuthSession{user " << session.user.id.toStdString() << ", expiresAt " << session.expiresAt
         << ", tokens withheld}";
}

void PrintTo(const AuthError& error, std::ostream* out)
{
    *out << "AuthError(" << error.errorDescription().toStdString() << ')';
}
