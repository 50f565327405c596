#include "Models/PerShortcutStat.h"

PerShortcutStat PerShortcutStat::fromJson(const JsonReader& r)
{
    PerShortcutStat s;
    s.count = r.required<qint64>(QStringLiteral("count"));
    s.firstUsedAt = r.required<QDateTime>(QStringLiteral("firstUsedAt"));
    s.lastUsedAt = r.required<QDateTime>(QStringLiteral("lastUsedAt"));
    return s;
}

QJsonValue PerShortcutStat::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("count"), count);
    o.insert(QStringLiteral("firstUsedAt"), JsonCoding<QDateTime>::encode(firstUsedAt));
    o.insert(QStringLiteral("lastUsedAt"), JsonCoding<QDateTime>::encode(lastUsedAt));
    return o;
}
