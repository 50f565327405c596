#include "Models/TombstoneSet.h"

#include "Models/RecordText.h"

#include <algorithm>

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

bool TombstoneSet::sameMarkers(const QList<Tombstone>& a, const QList<Tombstone>& b,
    const std::function<bool(const Tombstone&, const Tombstone&)>& equal)
{
    if (a.size() != b.size())
        return false;
    if (std::equal(a.cbegin(), a.cend(), b.cbegin(), equal))
        return true;
    // Ids are unique within a list, so the sorted lists hold the same markers at the same places.
    const QList<Tombstone> x = RecordText::sortedById(a);
    const QList<Tombstone> y = RecordText::sortedById(b);
    return std::equal(x.cbegin(), x.cend(), y.cbegin(), equal);
}

bool operator==(const TombstoneSet& a, const TombstoneSet& b)
{
    const auto equal = [](const Tombstone& x, const Tombstone& y) { return x == y; };
    return std::all_of(TombstoneKinds::all.cbegin(), TombstoneKinds::all.cend(),
        [&](TombstoneKind kind) { return TombstoneSet::sameMarkers(a.list(kind), b.list(kind), equal); });
}
