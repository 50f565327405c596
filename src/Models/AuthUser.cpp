#include "Models/AuthUser.h"

AuthUser::UserMetadata AuthUser::UserMetadata::fromJson(const JsonReader& r)
{
    UserMetadata m;
    m.full_name = r.optional<QString>(QStringLiteral("full_name"));
    m.avatar_url = r.optional<QString>(QStringLiteral("avatar_url"));
    return m;
}

QJsonValue AuthUser::UserMetadata::toJson() const
{
    QJsonObject o;
    insertIfPresent(o, QStringLiteral("full_name"), full_name);
    insertIfPresent(o, QStringLiteral("avatar_url"), avatar_url);
    return o;
}

AuthUser AuthUser::fromJson(const JsonReader& r)
{
    AuthUser u;
    u.id = r.required<QString>(QStringLiteral("id"));
    u.email = r.optional<QString>(QStringLiteral("email"));
    u.user_metadata = r.optional<UserMetadata>(QStringLiteral("user_metadata"));
    return u;
}

QJsonValue AuthUser::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    insertIfPresent(o, QStringLiteral("email"), email);
    insertIfPresent(o, QStringLiteral("user_metadata"), user_metadata);
    return o;
}
