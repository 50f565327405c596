#include "Models/UserData.h"

#include "Models/LibraryDifference.h"
#include "Utilities/Clock.h"
#include "Utilities/Text.h"

#include <QHash>
#include <QStringList>
#include <algorithm>

namespace {

const QString kGroups = QStringLiteral("groups");
const QString kShortcuts = QStringLiteral("shortcuts");
const QString kCustomIcons = QStringLiteral("customIcons");
const QString kDeletedIds = QStringLiteral("deletedIds");

DecodingError ruleBroken(const char* sentence)
{
    return DecodingError::dataCorrupted(QString::fromUtf8(sentence));
}

const char* const kBadIdentifiers = "Library contains empty or duplicate identifiers.";

// An id as the key of a set or map, by its canonical hash and the string it stands for, which
// stays in its list while the key is used. A deletion of tens of thousands of shortcuts checks
// as many ids: keys that copy no string skip a write to each string on the way in and on the
// way out, and probing compares hashes before it reads a string.
struct IdKey {
    const QString* id;
    size_t hash;

    explicit IdKey(const QString& text)
        : id(&text)
        , hash(Text::hash(text))
    {
    }
    friend bool operator==(const IdKey& a, const IdKey& b) { return a.hash == b.hash && Text::equal(*a.id, *b.id); }
    friend size_t qHash(const IdKey& key, size_t seed) { return qHash(key.hash, seed); }
};

// Whether every one of `items` has an id and no two have equal ones.
template <class T> bool idsAreUnique(const QList<T>& items)
{
    QSet<IdKey> ids;
    ids.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i + Text::prefetchDistance < items.size())
            Text::prefetch(items[i + Text::prefetchDistance].id);
        const QString& id = items[i].id;
        if (id.isEmpty())
            return false;
        ids.insert(IdKey(id));
    }
    return ids.size() == items.size();
}

// The canonical ids of `items` (folders, which are few), or nothing when one is empty or two
// are equal.
template <class T> std::optional<QSet<QString>> uniqueIds(const QList<T>& items)
{
    QSet<QString> ids;
    ids.reserve(items.size());
    for (const T& item : items) {
        if (item.id.isEmpty())
            return std::nullopt;
        ids.insert(Text::canonical(item.id));
    }
    if (ids.size() != items.size())
        return std::nullopt;
    return ids;
}

// Every folder's parent chain must end at the top level through existing folders without
// repeating itself. Folders already known to reach the top end later walks early, which
// keeps deep trees linear instead of quadratic.
bool foldersReachTopLevel(const QList<Group>& groups)
{
    QHash<QString, std::optional<QString>> parentOf;
    parentOf.reserve(groups.size());
    for (const Group& g : groups)
        parentOf.insert(
            Text::canonical(g.id), g.parentGroupId ? std::optional(Text::canonical(*g.parentGroupId)) : std::nullopt);

    QSet<QString> reachesTop;
    reachesTop.reserve(groups.size());
    for (const Group& g : groups) {
        QSet<QString> visited;
        QString current = Text::canonical(g.id);
        while (!reachesTop.contains(current)) {
            if (visited.contains(current))
                return false;
            visited.insert(current);
            const auto it = parentOf.constFind(current);
            if (it == parentOf.constEnd())
                return false;
            if (!it->has_value())
                break;
            current = **it;
        }
        reachesTop.unite(visited);
    }
    return true;
}

// The library's shortcuts, read as any list is, except that the shortcuts of one folder share
// the text of its id instead of holding a copy each: on a large library that is megabytes, and
// the copy just read is let go at once, so that its memory serves the next shortcut.
struct ShortcutList {
    QList<Shortcut> items;
};

} // namespace

template <> struct JsonCoding<ShortcutList> {
    static ShortcutList decode(const JsonReader& r)
    {
        const qsizetype count = r.array().size();
        ShortcutList list;
        list.items.reserve(count);
        QHash<QString, QString> folderIds;
        for (qsizetype i = 0; i < count; ++i) {
            Shortcut shortcut = r.at(i).decode<Shortcut>();
            if (shortcut.groupId) {
                const auto known = folderIds.constFind(*shortcut.groupId);
                if (known != folderIds.constEnd())
                    shortcut.groupId = *known;
                else
                    folderIds.insert(*shortcut.groupId, *shortcut.groupId);
            }
            list.items.append(std::move(shortcut));
        }
        return list;
    }
};

bool UserData::identical(const UserData& a, const UserData& b)
{
    // QString's own equality compares code units, unlike the records' equality.
    const auto sameGroups = [](const Group& x, const Group& y) {
        return x.id == y.id && x.name == y.name && x.parentGroupId == y.parentGroupId && x.order == y.order
            && x.collapsed == y.collapsed && x.icon == y.icon && x.color == y.color && x.visibility == y.visibility
            && x.shareId == y.shareId;
    };
    const auto sameIcons
        = [](const CustomIcon& x, const CustomIcon& y) { return x.id == y.id && x.name == y.name && x.svg == y.svg; };
    const auto sameMarkers
        = [](const Tombstone& x, const Tombstone& y) { return x.id == y.id && x.deletedAt == y.deletedAt; };
    const auto same = [](const auto& x, const auto& y, const auto& equal) {
        return std::equal(x.cbegin(), x.cend(), y.cbegin(), y.cend(), equal);
    };
    return same(a.groups, b.groups, sameGroups) && same(a.shortcuts, b.shortcuts, &Shortcut::identical)
        && same(a.customIcons, b.customIcons, sameIcons)
        && std::all_of(TombstoneKinds::all.cbegin(), TombstoneKinds::all.cend(), [&](TombstoneKind kind) {
               return TombstoneSet::sameMarkers(a.deletedIds.list(kind), b.deletedIds.list(kind), sameMarkers);
           });
}

UserData UserData::empty()
{
    return {};
}

QSet<QString> UserData::duplicateTriggers() const
{
    QHash<QString, int> uses;
    uses.reserve(shortcuts.size());
    for (const Shortcut& s : shortcuts)
        ++uses[Text::canonical(s.trigger)];
    QSet<QString> duplicates;
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        if (it.value() > 1)
            duplicates.insert(it.key());
    }
    return duplicates;
}

void UserData::validate() const
{
    const std::optional<QSet<QString>> groupIds = uniqueIds(groups);
    if (!groupIds || !idsAreUnique(shortcuts) || !idsAreUnique(customIcons))
        throw ruleBroken(kBadIdentifiers);

    for (const Shortcut& s : shortcuts) {
        if (s.trigger.isEmpty() || s.expansion.isEmpty())
            throw ruleBroken("Library contains an empty shortcut trigger or text.");
    }

    if (!foldersReachTopLevel(groups))
        throw ruleBroken("Library contains a missing parent or circular folder relationship.");

    for (const Shortcut& s : shortcuts) {
        if (s.groupId && !groupIds->contains(Text::canonical(*s.groupId)))
            throw ruleBroken("A shortcut points to a missing folder.");
    }

    for (TombstoneKind kind : TombstoneKinds::all) {
        if (!idsAreUnique(deletedIds.list(kind)))
            throw ruleBroken(kBadIdentifiers);
    }
}

void UserData::validateChange(const UserData& before, const std::function<int(const QString& id)>& idUsesBefore) const
{
    // Folders and icons are few: a change of them is checked whole.
    if (!groups.isSharedWith(before.groups) || !customIcons.isSharedWith(before.customIcons)) {
        validate();
        return;
    }
    for (TombstoneKind kind : TombstoneKinds::all) {
        if (!deletedIds.list(kind).isSharedWith(before.deletedIds.list(kind)) && !idsAreUnique(deletedIds.list(kind)))
            throw ruleBroken(kBadIdentifiers);
    }
    const SharedEnds ends = SharedEnds::of(shortcuts, before.shortcuts);
    const qsizetype changedEnd = shortcuts.size() - ends.tail;
    const qsizetype removedEnd = before.shortcuts.size() - ends.tail;

    QSet<QString> groupIds;
    groupIds.reserve(groups.size());
    for (const Group& g : groups)
        groupIds.insert(Text::canonical(g.id));
    QSet<QString> added;
    for (qsizetype i = ends.head; i < changedEnd; ++i) {
        const Shortcut& s = shortcuts[i];
        if (s.id.isEmpty())
            throw ruleBroken(kBadIdentifiers);
        if (s.trigger.isEmpty() || s.expansion.isEmpty())
            throw ruleBroken("Library contains an empty shortcut trigger or text.");
        if (s.groupId && !groupIds.contains(Text::canonical(*s.groupId)))
            throw ruleBroken("A shortcut points to a missing folder.");
        const QString id = Text::canonical(s.id);
        if (added.contains(id))
            throw ruleBroken(kBadIdentifiers);
        added.insert(id);
    }
    // Ids that were in the replaced run stay unique; only new ones can meet an unchanged one.
    for (qsizetype i = ends.head; i < removedEnd; ++i)
        added.remove(Text::canonical(before.shortcuts[i].id));
    if (added.isEmpty())
        return;
    // None of these ids was in the replaced run: one that `before` used is in its unchanged part.
    if (idUsesBefore) {
        if (std::any_of(added.cbegin(), added.cend(), [&](const QString& id) { return idUsesBefore(id) > 0; }))
            throw ruleBroken(kBadIdentifiers);
        return;
    }
    // An edit adds an id or a few: comparing them with each unchanged id is quicker than
    // hashing every unchanged id, and compares under the same canonical equivalence.
    const QStringList few = added.size() <= 4 ? QStringList(added.cbegin(), added.cend()) : QStringList();
    const auto isAdded = [&](const QString& id) {
        if (few.isEmpty())
            return added.contains(Text::canonical(id));
        return std::any_of(few.cbegin(), few.cend(), [&](const QString& other) { return Text::equal(id, other); });
    };
    for (qsizetype i = 0; i < shortcuts.size(); ++i) {
        if (i == ends.head)
            i = changedEnd;
        if (i + Text::prefetchDistance < shortcuts.size())
            Text::prefetch(shortcuts[i + Text::prefetchDistance].id);
        if (i < shortcuts.size() && isAdded(shortcuts[i].id))
            throw ruleBroken(kBadIdentifiers);
    }
}

void UserData::recordDeletion(TombstoneKind kind, const QStringList& ids)
{
    if (ids.isEmpty())
        return;
    // One moment for the whole call, in whole seconds: "2025-03-01T09:30:00Z".
    const QString deletedAt = Clock::current().now().toUTC().toString(Qt::ISODate);

    // Updated in place and appended in the order given, so the result does not depend on
    // hashing and the same calls always leave the same list.
    QList<Tombstone>& markers = deletedIds.list(kind);
    markers.reserve(markers.size() + ids.size());
    // Keys point at the markers' own strings (the reserve above keeps them in place; a marker
    // updated below keeps an equal id) and at the ids given.
    QHash<IdKey, qsizetype> indexOf;
    indexOf.reserve(markers.size() + ids.size());
    for (qsizetype i = 0; i < markers.size(); ++i)
        indexOf.insert(IdKey(markers[i].id), i);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (i + Text::prefetchDistance < ids.size())
            Text::prefetch(ids[i + Text::prefetchDistance]);
        const QString& id = ids[i];
        if (id.isEmpty())
            continue;
        const IdKey key(id);
        const auto it = indexOf.constFind(key);
        if (it != indexOf.constEnd()) {
            markers[*it] = Tombstone{id, deletedAt};
        } else {
            indexOf.insert(key, markers.size());
            markers.append(Tombstone{id, deletedAt});
        }
    }
}

void UserData::reconcileTombstones()
{
    for (TombstoneKind kind : TombstoneKinds::all) {
        const QList<Tombstone>& markers = std::as_const(deletedIds).list(kind);
        if (markers.isEmpty())
            continue;
        const auto drop = [&](const auto& items) {
            if (items.isEmpty())
                return;
            // The smaller side is gathered and the larger looked through: most edits have
            // far fewer markers than items, and deleting everything leaves no items at all.
            QSet<QString> revived;
            if (markers.size() <= items.size()) {
                QSet<QString> marked;
                marked.reserve(markers.size());
                for (const Tombstone& t : markers)
                    marked.insert(Text::canonical(t.id));
                for (const auto& item : items) {
                    const QString id = Text::canonical(item.id);
                    if (marked.contains(id))
                        revived.insert(id);
                }
            } else {
                QSet<QString> live;
                live.reserve(items.size());
                for (const auto& item : items)
                    live.insert(Text::canonical(item.id));
                for (const Tombstone& t : markers) {
                    const QString id = Text::canonical(t.id);
                    if (live.contains(id))
                        revived.insert(id);
                }
            }
            // Untouched lists keep sharing their data with earlier versions of the library.
            if (!revived.isEmpty())
                deletedIds.list(kind).removeIf(
                    [&](const Tombstone& t) { return revived.contains(Text::canonical(t.id)); });
        };
        switch (kind) {
        case TombstoneKind::groups: drop(std::as_const(groups)); break;
        case TombstoneKind::shortcuts: drop(std::as_const(shortcuts)); break;
        case TombstoneKind::customIcons: drop(std::as_const(customIcons)); break;
        }
    }
}

UserData UserData::fromJson(const JsonReader& r)
{
    const QJsonObject o = r.object();
    if (!o.contains(kGroups) && !o.contains(kShortcuts) && !o.contains(kCustomIcons) && !o.contains(kDeletedIds))
        throw DecodingError::dataCorrupted(QStringLiteral("Not a Velmora library."), r.path());

    // A list that is present must be a list: null does not stand for "empty" here.
    auto listOrEmpty = [&]<class T>(const QString& key, QList<T>& out) {
        if (o.contains(key))
            out = r.required<QList<T>>(key);
    };
    UserData data;
    listOrEmpty(kGroups, data.groups);
    if (o.contains(kShortcuts))
        data.shortcuts = r.required<ShortcutList>(kShortcuts).items;
    listOrEmpty(kCustomIcons, data.customIcons);
    data.deletedIds = r.value<TombstoneSet>(kDeletedIds, {});
    data.validate();
    return data;
}

QJsonValue UserData::toJson() const
{
    QJsonObject o;
    o.insert(kGroups, JsonCoding<QList<Group>>::encode(groups));
    o.insert(kShortcuts, JsonCoding<QList<Shortcut>>::encode(shortcuts));
    o.insert(kCustomIcons, JsonCoding<QList<CustomIcon>>::encode(customIcons));
    o.insert(kDeletedIds, deletedIds.toJson());
    return o;
}
