#include "Services/UserProfile.h"

UserProfile UserProfile::fromJson(const JsonReader& r)
{
    UserProfile p;
    p.id = r.optional<QString>(QStringLiteral("id"));
    p.user_id = r.required<QString>(QStringLiteral("user_id"));
    p.username = r.required<QString>(QStringLiteral("username"));
    p.display_name = r.required<QString>(QStringLiteral("display_name"));
    p.bio = r.optional<QString>(QStringLiteral("bio"));
    p.avatar_url = r.optional<QString>(QStringLiteral("avatar_url"));
    p.twitter = r.optional<QString>(QStringLiteral("twitter"));
    p.linkedin = r.optional<QString>(QStringLiteral("linkedin"));
    p.website = r.optional<QString>(QStringLiteral("website"));
    return p;
}

QJsonValue UserProfile::toJson() const
{
    QJsonObject o;
    insertIfPresent(o, QStringLiteral("id"), id);
    o.insert(QStringLiteral("user_id"), user_id);
    o.insert(QStringLiteral("username"), username);
    o.insert(QStringLiteral("display_name"), display_name);
    insertIfPresent(o, QStringLiteral("bio"), bio);
    insertIfPresent(o, QStringLiteral("avatar_url"), avatar_url);
    insertIfPresent(o, QStringLiteral("twitter"), twitter);
    insertIfPresent(o, QStringLiteral("linkedin"), linkedin);
    insertIfPresent(o, QStringLiteral("website"), website);
    return o;
}
