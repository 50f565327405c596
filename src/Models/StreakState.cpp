#include "Models/StreakState.h"

StreakState StreakState::fromJson(const JsonReader& r)
{
    StreakState s;
    s.current = r.required<qint64>(QStringLiteral("current"));
    s.longest = r.required<qint64>(QStringLiteral("longest"));
    s.lastDay = r.optional<QString>(QStringLiteral("lastDay"));
    return s;
}

QJsonValue StreakState::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("current"), current);
    o.insert(QStringLiteral("longest"), longest);
    insertIfPresent(o, QStringLiteral("lastDay"), lastDay);
    return o;
}
