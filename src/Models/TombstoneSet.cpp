#include "Models/TombstoneSet.h"

#include "Models/RecordText.h"

QList<Tombstone>& TombstoneSet::list(TombstoneKind kind)
{
    switch (kind) {
    case TombstoneKind::groups: return groups;
    case TombstoneKind::shortcuts: return shortcuts;
    case TombstoneKind::customIcons: return customIcons;
    }
    return groups;
}

const QList<Tombstone>& TombstoneSet::list(TombstoneKind kind) const
{
    return const_cast<TombstoneSet*>(this)->list(kind);
}

TombstoneSet TombstoneSet::fromJson(const JsonReader& r)
{
    TombstoneSet set;
    for (TombstoneKind kind : TombstoneKinds::all)
        set.list(kind) = r.value<QList<Tombstone>>(TombstoneKinds::rawValue(kind), {});
    return set;
}

QJsonValue TombstoneSet::toJson() const
{
    QJsonObject o;
    for (TombstoneKind kind : TombstoneKinds::all)
        o.insert(
            TombstoneKinds::rawValue(kind), JsonCoding<QList<Tombstone>>::encode(RecordText::sortedById(list(kind))));
    return o;
}
