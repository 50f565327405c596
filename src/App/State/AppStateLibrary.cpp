#include "App/State/AppState.h"

#include "Models/TriggerNumbering.h"
#include "Utilities/Text.h"
#include "Utilities/ToastManager.h"
#include "Utilities/Uuid.h"
#include "platform/PlainTextClipboard.h"

#include <algorithm>
#include <future>
#include <limits>
#include <optional>
#include <utility>

namespace {

// The order for a new item under `parent`: one past the highest among its siblings (the
// highest itself at the largest possible order), 0 for the first. Only the siblings' parents
// are compared: hashing every item's parent made each new shortcut in a large library wait
// on a trip to memory per shortcut.
template <class Item>
qint64 nextOrder(
    const QList<Item>& items, const std::optional<QString>& parent, const std::optional<QString> Item::*parentKey)
{
    // Folder ids are never empty: an empty one stands for the top level.
    const auto folderOf = [](const std::optional<QString>& id) { return id && !id->isEmpty() ? &*id : nullptr; };
    const QString* wanted = folderOf(parent);
    std::optional<qint64> highest;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (wanted && i + Text::prefetchDistance < items.size()) {
            if (const QString* later = folderOf(items[i + Text::prefetchDistance].*parentKey))
                Text::prefetch(*later);
        }
        const QString* own = folderOf(items[i].*parentKey);
        const bool sibling = wanted ? own && Text::equal(*own, *wanted) : !own;
        if (sibling && (!highest || items[i].order > *highest))
            highest = items[i].order;
    }
    if (!highest)
        return 0;
    return *highest < std::numeric_limits<qint64>::max() ? *highest + 1 : *highest;
}

// Removes the folder `id` and everything inside it at any depth, adding the removed folders'
// ids (sorted) and shortcuts' ids to the lists.
void removeFolderTree(UserData& d, const QString& id, QStringList& folderIds, QStringList& shortcutIds)
{
    const QSet<QString> folders = d.folderAndDescendants(id);
    const auto inside = [&](const Shortcut& s) { return s.groupId && folders.contains(*s.groupId); };
    for (const Shortcut& s : d.shortcuts) {
        if (inside(s))
            shortcutIds.append(s.id);
    }
    d.shortcuts.removeIf(inside);
    d.groups.removeIf([&](const Group& g) { return folders.contains(g.id); });
    QStringList sorted(folders.begin(), folders.end());
    sorted.sort();
    folderIds += sorted;
}

// Removes the selected shortcuts, then each selected folder in library order with everything
// inside it that an earlier folder did not take, and records the deletions: the selected
// shortcuts' ids first, then per folder its shortcuts' ids and its folders' ids (sorted).
// One pass over the shortcuts, however many folders are selected.
void removeSelection(UserData& d, const QSet<QString>& selected)
{
    // Read through const access: the lists are shared with the library before the edit, and
    // copying one only to remove most of it would cost as much as the library.
    const QList<Group>& groups = std::as_const(d.groups);
    const QList<Shortcut>& shortcuts = std::as_const(d.shortcuts);
    QHash<QString, QStringList> children;
    for (const Group& g : groups) {
        if (g.parentGroupId)
            children[*g.parentGroupId].append(g.id);
    }
    QHash<QString, qsizetype> treeOf;
    QStringList folderIds;
    qsizetype trees = 0;
    for (const Group& g : groups) {
        if (!selected.contains(g.id) || treeOf.contains(g.id))
            continue;
        const qsizetype tree = trees++;
        QStringList members{g.id};
        treeOf.insert(g.id, tree);
        for (qsizetype next = 0; next < members.size(); ++next) {
            for (const QString& child : children.value(members[next])) {
                if (!treeOf.contains(child)) {
                    treeOf.insert(child, tree);
                    members.append(child);
                }
            }
        }
        members.sort();
        folderIds += members;
    }
    QStringList shortcutIds;
    QList<QStringList> byTree;
    const auto treeOfShortcut
        = [&](const Shortcut& s) -> qsizetype { return s.groupId ? treeOf.value(*s.groupId, -1) : -1; };
    QList<Shortcut> keptShortcuts;
    for (qsizetype i = 0; i < shortcuts.size(); ++i) {
        if (i + Text::prefetchDistance < shortcuts.size())
            Text::prefetch(shortcuts[i + Text::prefetchDistance].id);
        const Shortcut& s = shortcuts[i];
        if (selected.contains(s.id)) {
            shortcutIds.append(s.id);
        } else if (const qsizetype tree = treeOfShortcut(s); tree >= 0) {
            if (byTree.size() <= tree)
                byTree.resize(tree + 1);
            byTree[tree].append(s.id);
        } else {
            keptShortcuts.append(s);
        }
    }
    for (const QStringList& ids : std::as_const(byTree))
        shortcutIds += ids;
    if (keptShortcuts.size() != shortcuts.size())
        d.shortcuts = std::move(keptShortcuts);
    if (!treeOf.isEmpty())
        d.groups.removeIf([&](const Group& g) { return treeOf.contains(g.id); });
    d.recordDeletion(TombstoneKind::shortcuts, shortcutIds);
    d.recordDeletion(TombstoneKind::groups, folderIds);
}

// A copy of `source` under a new id, with the next trigger `numbering` hands out for its own,
// placed in `groupId` at `order`.
Shortcut copyOf(
    const Shortcut& source, TriggerNumbering& numbering, const std::optional<QString>& groupId, qint64 order)
{
    Shortcut copy;
    copy.id = Uuid::generate();
    copy.trigger = numbering.claim(source.trigger);
    copy.expansion = source.expansion;
    copy.groupId = groupId;
    copy.order = order;
    return copy;
}

// A private copy of `source`'s look under a new id, named `name`, placed in `parentGroupId`
// at `order`.
Group copyOf(const Group& source, const QString& name, const std::optional<QString>& parentGroupId, qint64 order)
{
    Group copy;
    copy.id = Uuid::generate();
    copy.name = name;
    copy.parentGroupId = parentGroupId;
    copy.order = order;
    copy.icon = source.icon;
    copy.color = source.color;
    copy.visibility = Group::visibilityText(FolderVisibility::privateFolder);
    return copy;
}

} // namespace

// ---------------------------------------------------------------- triggers

TriggerUses& AppState::triggerUses() const
{
    if (m_countingTriggers.valid())
        m_triggerUses = m_countingTriggers.get();
    return m_triggerUses;
}

bool AppState::isTriggerTaken(const QString& trigger, const QString& exceptId) const
{
    TriggerUses& counts = triggerUses();
    counts.follow(m_userData.shortcuts);
    int uses = counts.uses(trigger);
    if (uses > 0 && !exceptId.isEmpty()) {
        if (const Shortcut* own = m_userData.shortcut(exceptId); own && Text::equal(own->trigger, trigger))
            --uses;
    }
    return uses > 0;
}

qsizetype AppState::duplicatedTriggerCount() const
{
    TriggerUses& counts = triggerUses();
    counts.follow(m_userData.shortcuts);
    return counts.duplicatedTriggers();
}

// ---------------------------------------------------------------- edits prepared ahead

void AppState::prepareShortcutEdit(bool editing)
{
    if (!editing) {
        m_preparedFrom = {};
        m_preparedCopy = {};
        return;
    }
    const QList<Shortcut>& shortcuts = m_userData.shortcuts;
    if (!(m_preparedCopy.valid() && m_preparedFrom.isSharedWith(shortcuts))) {
        m_preparedFrom = shortcuts;
        // The copy counts one more user of every text from that thread; the texts themselves
        // are only read, as the writer's encoding reads them.
        m_preparedCopy = std::async(std::launch::async, [shortcuts] { return Shortcut::ownCopy(shortcuts, 1); });
    }
    if (!m_idUsesBuilt && !m_preparedIdUses.valid()) {
        m_preparedIdUses = std::async(std::launch::async, [shortcuts] {
            IdHashes ids;
            ids.follow(shortcuts);
            return ids;
        });
    }
}

QList<Shortcut> AppState::ownShortcuts(const QList<Shortcut>& shortcuts, qsizetype room)
{
    if (m_preparedCopy.valid() && m_preparedFrom.isSharedWith(shortcuts)) {
        QList<Shortcut> copy = m_preparedCopy.get();
        m_preparedFrom = {};
        copy.reserve(shortcuts.size() + room);
        return copy;
    }
    return Shortcut::ownCopy(shortcuts, room);
}

Shortcut* AppState::ownShortcut(UserData& library, const QString& id)
{
    const Shortcut* found = std::as_const(library).shortcut(id);
    if (!found)
        return nullptr;
    const qsizetype position = found - library.shortcuts.constData();
    library.shortcuts = ownShortcuts(library.shortcuts, 0);
    return &library.shortcuts[position];
}

int AppState::idUses(const QString& id) const
{
    if (!m_idUsesBuilt) {
        if (m_preparedIdUses.valid())
            m_idUses = m_preparedIdUses.get();
        m_idUsesBuilt = true;
    }
    m_idUses.follow(m_userData.shortcuts);
    return m_idUses.uses(id);
}

// ---------------------------------------------------------------- clipboard payload

AppState::ClipboardData AppState::ClipboardData::fromJson(const JsonReader& r)
{
    return {
        r.required<QList<Shortcut>>(QStringLiteral("shortcuts")), r.required<QList<Group>>(QStringLiteral("groups"))};
}

QJsonValue AppState::ClipboardData::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("shortcuts"), JsonCoding<QList<Shortcut>>::encode(shortcuts));
    o.insert(QStringLiteral("groups"), JsonCoding<QList<Group>>::encode(groups));
    return o;
}

// ---------------------------------------------------------------- shortcuts

bool AppState::addShortcut(const QString& trigger, const QString& expansion, const std::optional<QString>& groupId)
{
    if (trigger.isEmpty() || expansion.isEmpty() || isTriggerTaken(trigger)) {
        ToastManager::shared().show(QStringLiteral("Choose a unique trigger and add its text."));
        return false;
    }
    return mutate([&](UserData& d) {
        Shortcut s;
        s.id = Uuid::generate();
        s.trigger = trigger;
        s.expansion = expansion;
        s.groupId = groupId;
        s.order = nextOrder(d.shortcuts, groupId, &Shortcut::groupId);
        d.shortcuts = ownShortcuts(d.shortcuts, 1);
        d.shortcuts.append(s);
    });
}

bool AppState::updateShortcut(
    const QString& id, const std::optional<QString>& trigger, const std::optional<QString>& expansion)
{
    if ((expansion && expansion->isEmpty()) || (trigger && trigger->isEmpty()))
        return false;
    if (trigger) {
        const Shortcut* own = m_userData.shortcut(id);
        const bool changed = !own || !Text::equal(own->trigger, *trigger);
        if (changed && isTriggerTaken(*trigger, id)) {
            ToastManager::shared().show(QStringLiteral("That trigger is already used. Choose a unique trigger."));
            return false;
        }
    }
    return mutate([&](UserData& d) {
        if (Shortcut* s = ownShortcut(d, id)) {
            if (trigger)
                s->trigger = *trigger;
            if (expansion)
                s->expansion = *expansion;
        }
    });
}

bool AppState::deleteShortcut(const QString& id)
{
    if (m_settings.confirmDelete) {
        requestConfirmation({QStringLiteral("Delete shortcut?"), QStringLiteral("This action cannot be undone."),
            QStringLiteral("Delete"), QStringLiteral("trash"), true, [this, id] { deleteShortcutNow(id); }});
        return false;
    }
    return deleteShortcutNow(id);
}

bool AppState::deleteShortcutNow(const QString& id)
{
    return mutate([&](UserData& d) {
        d.shortcuts.removeIf([&](const Shortcut& s) { return s.id == id; });
        d.recordDeletion(TombstoneKind::shortcuts, {id});
    });
}

bool AppState::duplicateShortcut(const QString& id)
{
    const Shortcut* source = m_userData.shortcut(id);
    if (!source)
        return false;
    const Shortcut original = *source;
    return mutate([&](UserData& d) {
        TriggerNumbering numbering(d.shortcuts, {});
        d.shortcuts.append(copyOf(original, numbering, original.groupId, original.order + 1));
    });
}

// ---------------------------------------------------------------- folders

std::optional<QString> AppState::addGroup(const QString& name, const std::optional<QString>& parentGroupId,
    const std::optional<QString>& icon, const std::optional<QString>& color, const QString& visibility,
    std::optional<qint64> order)
{
    const QString id = Uuid::generate();
    const bool ok = mutate([&](UserData& d) {
        Group g;
        g.id = id;
        g.name = name;
        g.parentGroupId = parentGroupId;
        g.order = order.value_or(nextOrder(d.groups, parentGroupId, &Group::parentGroupId));
        g.icon = icon;
        g.color = color;
        g.visibility = visibility;
        d.groups.append(g);
    });
    return ok ? std::optional(id) : std::nullopt;
}

bool AppState::deleteGroup(const QString& id)
{
    if (m_settings.confirmDelete) {
        requestConfirmation({QStringLiteral("Delete folder?"),
            QStringLiteral("All shortcuts inside this folder will be deleted too. This can't be undone."),
            QStringLiteral("Delete"), QStringLiteral("trash"), true, [this, id] { deleteGroupNow(id); }});
        return false;
    }
    return deleteGroupNow(id);
}

bool AppState::deleteGroupNow(const QString& id)
{
    return mutate([&](UserData& d) {
        QStringList folderIds;
        QStringList shortcutIds;
        removeFolderTree(d, id, folderIds, shortcutIds);
        d.recordDeletion(TombstoneKind::groups, folderIds);
        d.recordDeletion(TombstoneKind::shortcuts, shortcutIds);
    });
}

bool AppState::ungroupFolder(const QString& id)
{
    const Group* folder = m_userData.group(id);
    if (!folder)
        return false;
    const std::optional<QString> parent = folder->parentGroupId;
    return mutate([&](UserData& d) {
        for (Shortcut& s : d.shortcuts) {
            if (s.groupId == id)
                s.groupId = parent;
        }
        for (Group& g : d.groups) {
            if (g.parentGroupId == id)
                g.parentGroupId = parent;
        }
        d.groups.removeIf([&](const Group& g) { return g.id == id; });
        d.recordDeletion(TombstoneKind::groups, {id});
    });
}

bool AppState::updateGroup(const QString& id, const std::optional<QString>& name,
    const std::optional<std::optional<QString>>& icon, const std::optional<std::optional<QString>>& color)
{
    return mutate([&](UserData& d) {
        if (Group* g = d.group(id)) {
            if (name)
                g->name = *name;
            if (icon)
                g->icon = *icon;
            if (color)
                g->color = *color;
        }
    });
}

bool AppState::updateGroupParentAndVisibility(
    const QString& id, const std::optional<QString>& parentGroupId, const QString& visibility)
{
    return mutate([&](UserData& d) {
        if (Group* g = d.group(id)) {
            g->parentGroupId = parentGroupId;
            g->visibility = visibility;
        }
    });
}

bool AppState::duplicateGroup(const QString& id)
{
    const Group* source = m_userData.group(id);
    if (!source)
        return false;
    const Group original = *source;
    return mutate([&](UserData& d) {
        const Group copy
            = copyOf(original, original.name + QStringLiteral(" (copy)"), original.parentGroupId, original.order + 1);
        d.groups.append(copy);
        TriggerNumbering numbering(d.shortcuts, {});
        const QList<Shortcut> inside = d.shortcuts;
        for (const Shortcut& s : inside) {
            if (s.groupId == original.id)
                d.shortcuts.append(copyOf(s, numbering, copy.id, s.order));
        }
    });
}

// ---------------------------------------------------------------- moving

bool AppState::moveShortcutToGroup(const QString& shortcutId, const std::optional<QString>& groupId)
{
    return mutate([&](UserData& d) {
        if (Shortcut* s = ownShortcut(d, shortcutId))
            s->groupId = groupId;
    });
}

int AppState::moveItemsIntoFolder(const QStringList& ids, const QString& folderId)
{
    // Tried on a copy first: a drop that moves nothing is no undo step.
    UserData trial = m_userData;
    if (trial.moveIntoFolder(ids, folderId) == 0)
        return 0;
    int moved = 0;
    const bool written = mutate([&](UserData& d) { moved = d.moveIntoFolder(ids, folderId); });
    return written ? moved : 0;
}

bool AppState::moveSelectedToGroup(const std::optional<QString>& groupId)
{
    const QSet<QString> selected = m_selectedIds;
    return mutate([&](UserData& d) {
        for (Shortcut& s : d.shortcuts) {
            if (selected.contains(s.id))
                s.groupId = groupId;
        }
    });
}

bool AppState::moveItemUp(const QString& id)
{
    return moveItem(id, -1);
}

bool AppState::moveItemDown(const QString& id)
{
    return moveItem(id, +1);
}

namespace {
template <class Item>
void moveAmongSiblings(
    QList<Item>& items, const QString& id, const std::optional<QString> Item::*parentKey, int direction)
{
    const auto self = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == id; });
    const std::optional<QString> parent = (*self).*parentKey;
    QList<Item*> siblings;
    for (Item& item : items) {
        if (item.*parentKey == parent)
            siblings.append(&item);
    }
    std::stable_sort(
        siblings.begin(), siblings.end(), [](const Item* a, const Item* b) { return a->order < b->order; });
    const qsizetype position
        = std::find_if(siblings.begin(), siblings.end(), [&](const Item* i) { return i->id == id; }) - siblings.begin();
    const qsizetype other = position + direction;
    if (other < 0 || other >= siblings.size())
        return;
    siblings.swapItemsAt(position, other);
    for (qsizetype i = 0; i < siblings.size(); ++i)
        siblings[i]->order = i;
}
} // namespace

bool AppState::moveItem(const QString& id, int direction)
{
    return mutate([&](UserData& d) {
        if (d.shortcut(id))
            moveAmongSiblings(d.shortcuts, id, &Shortcut::groupId, direction);
        else if (d.group(id))
            moveAmongSiblings(d.groups, id, &Group::parentGroupId, direction);
    });
}

// ---------------------------------------------------------------- selection

void AppState::deleteSelected()
{
    const QSet<QString> selected = m_selectedIds;
    auto edit = [this, selected] { mutate([&](UserData& d) { removeSelection(d, selected); }); };
    if (m_settings.confirmDelete) {
        const QString title = selected.size() >= 2 ? QStringLiteral("Delete %1 items?").arg(selected.size())
                                                   : QStringLiteral("Delete?");
        requestConfirmation({title, QStringLiteral("This action cannot be undone."), QStringLiteral("Delete"),
            QStringLiteral("trash"), true, [this, edit] {
                edit();
                setSelectedIds({});
            }});
        return;
    }
    edit();
    setSelectedIds({});
}

void AppState::selectAll()
{
    QSet<QString> ids;
    const std::optional<QString> folder = effectiveCurrentGroupId();
    for (const Group& g : groupsInGroup(folder))
        ids.insert(g.id);
    for (const Shortcut& s : shortcutsInGroup(folder))
        ids.insert(s.id);
    setSelectedIds(ids);
}

void AppState::copySelected()
{
    if (!m_clipboard)
        return;
    ClipboardData payload;
    for (const Shortcut& s : std::as_const(m_userData.shortcuts)) {
        if (m_selectedIds.contains(s.id))
            payload.shortcuts.append(s);
    }
    for (const Group& g : std::as_const(m_userData.groups)) {
        if (m_selectedIds.contains(g.id))
            payload.groups.append(g);
    }
    m_clipboard->setText(QString::fromUtf8(VelmoraJSON::encodeCompact(payload.toJson())));
}

int AppState::pasteFromClipboard()
{
    if (!m_clipboard)
        return 0;
    const std::optional<QString> text = m_clipboard->text();
    if (!text)
        return 0;
    ClipboardData payload;
    try {
        payload = VelmoraJSON::decode<ClipboardData>(text->toUtf8());
    } catch (const DecodingError&) {
        return 0;
    }
    const std::optional<QString> folder = effectiveCurrentGroupId();
    int added = 0;
    const bool ok = mutate([&](UserData& d) {
        QSet<QString> existing;
        for (const Group& g : d.groups)
            existing.insert(g.id);
        for (const Group& source : payload.groups) {
            if (existing.contains(source.id))
                continue;
            d.groups.append(copyOf(source, source.name, folder, source.order));
            ++added;
        }
        TriggerNumbering numbering(d.shortcuts, {});
        for (const Shortcut& source : payload.shortcuts) {
            d.shortcuts.append(copyOf(source, numbering, folder, source.order));
            ++added;
        }
    });
    return ok ? added : 0;
}

void AppState::duplicateSelected()
{
    QStringList shortcutIds;
    QStringList folderIds;
    for (const Shortcut& s : std::as_const(m_userData.shortcuts)) {
        if (m_selectedIds.contains(s.id))
            shortcutIds.append(s.id);
    }
    for (const Group& g : m_userData.groups) {
        if (m_selectedIds.contains(g.id))
            folderIds.append(g.id);
    }
    for (const QString& id : shortcutIds)
        duplicateShortcut(id);
    for (const QString& id : folderIds)
        duplicateGroup(id);
}

// ---------------------------------------------------------------- custom icons

std::optional<QString> AppState::addCustomIcon(const QString& name, const QString& svg)
{
    const QString id = Uuid::generate();
    const bool ok = mutate([&](UserData& d) { d.customIcons.append(CustomIcon{id, name, svg}); });
    return ok ? std::optional(id) : std::nullopt;
}

bool AppState::removeCustomIcon(const QString& id)
{
    return mutate([&](UserData& d) {
        d.customIcons.removeIf([&](const CustomIcon& c) { return c.id == id; });
        d.recordDeletion(TombstoneKind::customIcons, {id});
    });
}
