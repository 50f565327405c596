#include "Models/Tombstone.h"

#include "Models/RecordText.h"

namespace TombstoneKinds {
QString rawValue(TombstoneKind kind)
{
    switch (kind) {
    case TombstoneKind::groups: return QStringLiteral("groups");
    case TombstoneKind::shortcuts: return QStringLiteral("shortcuts");
    case TombstoneKind::customIcons: return QStringLiteral("customIcons");
    }
    return {};
}
} // namespace TombstoneKinds

Tombstone Tombstone::fromJson(const JsonReader& r)
{
    Tombstone t;
    t.id = r.required<QString>(QStringLiteral("id"));
    t.deletedAt = r.required<QString>(QStringLiteral("deletedAt"));
    return t;
}

QJsonValue Tombstone::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("deletedAt"), deletedAt);
    return o;
}

bool operator==(const Tombstone& a, const Tombstone& b)
{
    return RecordText::equal(a.id, b.id) && RecordText::equal(a.deletedAt, b.deletedAt);
}

size_t qHash(const Tombstone& t, size_t seed)
{
    return RecordText::hash(RecordText::hash(seed, t.id), t.deletedAt);
}
