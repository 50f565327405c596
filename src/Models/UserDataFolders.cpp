#include "Models/UserData.h"

#include <QHash>
#include <algorithm>

namespace {

// Const or not as `items` is.
template <class List> auto firstWithId(List& items, QStringView id)
{
    const auto it = std::find_if(items.begin(), items.end(), [&](const auto& item) { return item.id == id; });
    return it == items.end() ? nullptr : &*it;
}

// The first folder with each id, for walks up the tree.
QHash<QString, const Group*> foldersById(const QList<Group>& groups)
{
    QHash<QString, const Group*> byId;
    byId.reserve(groups.size());
    for (const Group& g : groups) {
        if (!byId.contains(g.id))
            byId.insert(g.id, &g);
    }
    return byId;
}

// The folder `id` and the folders above it, nearest first, each at most once.
QList<const Group*> chainUp(const QList<Group>& groups, const QString& id)
{
    const QHash<QString, const Group*> byId = foldersById(groups);
    QList<const Group*> chain;
    QSet<QString> seen;
    const Group* g = byId.value(id);
    while (g && !seen.contains(g->id)) {
        seen.insert(g->id);
        chain.append(g);
        g = g->parentGroupId ? byId.value(*g->parentGroupId) : nullptr;
    }
    return chain;
}

} // namespace

const Shortcut* UserData::shortcut(const QString& id) const
{
    return firstWithId(shortcuts, id);
}

Shortcut* UserData::shortcut(const QString& id)
{
    return firstWithId(shortcuts, id);
}

const Group* UserData::group(const QString& id) const
{
    return firstWithId(groups, id);
}

Group* UserData::group(const QString& id)
{
    return firstWithId(groups, id);
}

const CustomIcon* UserData::customIcon(QStringView id) const
{
    return firstWithId(customIcons, id);
}

QList<Group> UserData::folderPath(const QString& id) const
{
    QList<Group> path;
    const QList<const Group*> chain = chainUp(groups, id);
    for (auto it = chain.crbegin(); it != chain.crend(); ++it)
        path.append(**it);
    return path;
}

bool UserData::liesWithin(const QString& folderId, const QString& ancestorId) const
{
    const QList<const Group*> chain = chainUp(groups, folderId);
    return std::any_of(chain.cbegin(), chain.cend(), [&](const Group* g) { return g->parentGroupId == ancestorId; });
}

QSet<QString> UserData::folderAndDescendants(const QString& id) const
{
    QHash<QString, QList<QString>> children;
    for (const Group& g : groups) {
        if (g.parentGroupId)
            children[*g.parentGroupId].append(g.id);
    }
    QSet<QString> found{id};
    QList<QString> pending{id};
    while (!pending.isEmpty()) {
        const QString parent = pending.takeLast();
        for (const QString& child : children.value(parent)) {
            if (!found.contains(child)) {
                found.insert(child);
                pending.append(child);
            }
        }
    }
    return found;
}

int UserData::deepestFolderDepth() const
{
    QHash<QString, const Group*> byId;
    byId.reserve(groups.size());
    for (const Group& g : groups)
        byId.insert(g.id, &g);
    QHash<QString, int> memo;

    // Iterative walk up the parent chain; the path set stops a cycle, treating the folder
    // whose parent is already on the path as top level.
    auto depth = [&](const QString& start) {
        QList<QString> chain;
        QSet<QString> path;
        QString id = start;
        int base = 0;
        for (;;) {
            if (auto it = memo.constFind(id); it != memo.constEnd()) {
                base = *it;
                break;
            }
            const Group* g = byId.value(id);
            if (!g) {
                base = 0;
                break;
            }
            chain.append(id);
            path.insert(id);
            const std::optional<QString>& parent = g->parentGroupId;
            if (!parent || parent->isEmpty() || path.contains(*parent)) {
                base = 0;
                break;
            }
            id = *parent;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            memo.insert(*it, ++base);
        return memo.value(start, 0);
    };

    int deepest = 0;
    for (const Group& g : groups)
        deepest = std::max(deepest, depth(g.id));
    return deepest;
}

int UserData::moveIntoFolder(const QStringList& ids, const QString& folderId)
{
    if (!group(folderId))
        return 0;
    int moved = 0;
    for (const QString& id : ids) {
        Shortcut* s = shortcut(id);
        if (s && s->groupId != folderId) {
            s->groupId = folderId;
            ++moved;
        }
        Group* folder = group(id);
        if (!folder || folder->id == folderId || folder->parentGroupId == folderId || liesWithin(folderId, id))
            continue;
        folder->parentGroupId = folderId;
        ++moved;
    }
    return moved;
}
