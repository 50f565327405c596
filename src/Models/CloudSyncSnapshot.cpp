#include "Models/CloudSyncSnapshot.h"

CloudSyncSnapshot CloudSyncSnapshot::fromJson(const JsonReader& r)
{
    CloudSyncSnapshot c;
    c.user_id = r.required<QString>(QStringLiteral("user_id"));
    c.revision = r.required<QString>(QStringLiteral("revision"));
    c.has_cloud = r.required<bool>(QStringLiteral("has_cloud"));
    c.snapshot = r.required<SyncSnapshot>(QStringLiteral("snapshot"));
    return c;
}

QJsonValue CloudSyncSnapshot::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("user_id"), user_id);
    o.insert(QStringLiteral("revision"), revision);
    o.insert(QStringLiteral("has_cloud"), has_cloud);
    o.insert(QStringLiteral("snapshot"), snapshot.toJson());
    return o;
}
