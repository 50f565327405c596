#include "Models/SyncOwner.h"

#include "Models/RecordText.h"

SyncOwner SyncOwner::fromJson(const JsonReader& r)
{
    SyncOwner o;
    o.projectURL = r.required<QString>(QStringLiteral("projectURL"));
    o.userID = r.required<QString>(QStringLiteral("userID"));
    return o;
}

QJsonValue SyncOwner::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("projectURL"), projectURL);
    o.insert(QStringLiteral("userID"), userID);
    return o;
}

bool operator==(const SyncOwner& a, const SyncOwner& b)
{
    return RecordText::equal(a.projectURL, b.projectURL) && RecordText::equal(a.userID, b.userID);
}

size_t qHash(const SyncOwner& owner, size_t seed)
{
    return RecordText::hash(RecordText::hash(seed, owner.projectURL), owner.userID);
}
