#include "Models/SyncLocalTransaction.h"

SyncLocalTransaction SyncLocalTransaction::fromJson(const JsonReader& r)
{
    SyncLocalTransaction t;
    t.before = r.required<SyncSnapshot>(QStringLiteral("before"));
    t.after = r.required<SyncSnapshot>(QStringLiteral("after"));
    return t;
}

QJsonValue SyncLocalTransaction::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("before"), before.toJson());
    o.insert(QStringLiteral("after"), after.toJson());
    return o;
}
