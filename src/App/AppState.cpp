#include "App/AppState.h"

#include "platform/PlainTextClipboard.h"
#include "Models/SyncFailure.h"
#include "Persistence/LocalStore.h"
#include "Persistence/SiblingOrders.h"
#include "Services/AchievementEngine.h"
#include "Utilities/Clock.h"
#include "Utilities/Scheduler.h"
#include "Utilities/Text.h"
#include "Utilities/ToastManager.h"
#include "Utilities/TriggerNumbering.h"
#include "Utilities/Uuid.h"

#include <QLocale>
#include <algorithm>

namespace {
QPointer<AppState> g_shared;

// Seconds of typing saved per character.
constexpr double charactersPerSecond = 3.33;
constexpr qint64 oneDay = 86400;
constexpr qint64 bucketPruningAge = 365 * oneDay;
constexpr int bucketPruningThreshold = 366;
constexpr int recentTimestampsKept = 60;

bool hasTrigger(const UserData& data, const QString& trigger, const QString& exceptId = {})
{
    const QString wanted = Text::canonical(trigger);
    return std::any_of(data.shortcuts.begin(), data.shortcuts.end(), [&](const Shortcut& s) {
        return s.id != exceptId && Text::canonical(s.trigger) == wanted;
    });
}

template <class Item>
qint64 nextOrder(const QList<Item>& items, const std::optional<QString>& parent,
    const std::optional<QString> Item::*parentKey)
{
    SiblingOrders orders;
    for (const Item& item : items)
        orders.note(item.*parentKey, item.order);
    return orders.next(parent);
}

// The folder and, at any depth, every folder inside it.
QSet<QString> folderSet(const UserData& data, const QString& root)
{
    QSet<QString> set{root};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const Group& g : data.groups) {
            if (g.parentGroupId && set.contains(*g.parentGroupId) && !set.contains(g.id)) {
                set.insert(g.id);
                grew = true;
            }
        }
    }
    return set;
}

bool containsLowered(const QString& text, const QString& loweredQuery)
{
    return text.toLower().contains(loweredQuery);
}
} // namespace

// ---------------------------------------------------------------- clipboard payload

AppState::ClipboardData AppState::ClipboardData::fromJson(const JsonReader& r)
{
    return {r.required<QList<Shortcut>>(QStringLiteral("shortcuts")), r.required<QList<Group>>(QStringLiteral("groups"))};
}

QJsonValue AppState::ClipboardData::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("shortcuts"), JsonCoding<QList<Shortcut>>::encode(shortcuts));
    o.insert(QStringLiteral("groups"), JsonCoding<QList<Group>>::encode(groups));
    return o;
}

// ---------------------------------------------------------------- creation and storage

AppState::AppState(LocalStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    m_userData = m_store.loadData();
    m_settings = m_store.loadSettings();
    m_stats = m_store.loadStats();
    m_storageReady = m_store.isReady();

    connect(&m_store, &LocalStore::issuesChanged, this, [this] {
        if (!m_store.issues().isEmpty())
            setStorageReady(false);
    });
    connect(this, &AppState::selectedIdsChanged, this, [this] {
        if (!m_multiSelectionSeen && m_selectedIds.size() > 1) {
            m_multiSelectionSeen = true;
            setFirstUseFlag(QStringLiteral("discovery_multi"));
        }
    });

    if (m_store.isReady())
        backfillAchievementsIfNeeded();
    m_searchIndex.prepare(m_userData.shortcuts);
}

AppState::~AppState() = default;

AppState* AppState::shared()
{
    return g_shared.data();
}

void AppState::setShared(AppState* state)
{
    g_shared = state;
}

void AppState::setAchievementPresenter(std::function<void(const Achievement&)> presenter)
{
    m_achievementPresenter = std::move(presenter);
}

void AppState::setTimeSavedPresenter(std::function<void(double)> presenter)
{
    m_timeSavedPresenter = std::move(presenter);
}

void AppState::setClipboard(PlainTextClipboard* clipboard)
{
    m_clipboard = clipboard;
}

void AppState::retryStorage()
{
    m_store.loadSyncState();
    const UserData data = m_store.loadData();
    const AppSettings settings = m_store.loadSettings();
    const Stats stats = m_store.loadStats();
    if (!m_store.isReady())
        return;
    setUserData(data);
    setSettings(settings);
    setStats(stats);
    m_undoStack.clear();
    m_redoStack.clear();
    setCurrentGroupId(std::nullopt);
    setSelectedIds({});
    setSearchQuery(QString());
    setReviewingDuplicateShortcuts(false);
    setPendingConfirmation(std::nullopt);
    setStorageReady(true);
}

SyncSnapshot AppState::syncSnapshot() const
{
    return SyncSnapshot{m_userData, m_settings, m_stats};
}

void AppState::applySyncedSnapshot(const SyncSnapshot& snapshot, const SyncSnapshot& expected, const SyncOwner& owner)
{
    if (!m_storageReady || !syncSnapshot().matches(expected))
        throw SyncFailure(SyncFailure::Kind::localChanged);
    m_store.applySync(snapshot, expected, owner);
    if (syncSnapshot().matches(snapshot))
        return;
    setUserData(snapshot.data);
    setSettings(snapshot.settings);
    setStats(snapshot.stats);
    m_undoStack.clear();
    m_redoStack.clear();
    setSelectedIds({});
    setCurrentGroupId(std::nullopt);
}

// ---------------------------------------------------------------- change path

bool AppState::mutatePublic(const std::function<void(UserData&)>& change)
{
    return mutate(change);
}

bool AppState::mutate(const std::function<void(UserData&)>& change)
{
    if (!m_store.isReady())
        return false;
    const UserData previous = m_userData;
    UserData candidate = m_userData;
    change(candidate);
    candidate.reconcileTombstones();
    // An edit that breaks the library's rules (say, a paste into a folder that an undo has
    // just removed) is refused here: handing it to the store would record a storage issue and
    // put the recovery screen over an undamaged file.
    try {
        candidate.validate();
    } catch (const DecodingError&) {
        return false;
    }
    m_userData = candidate;
    if (!save()) {
        m_userData = previous;
        return false;
    }
    if (m_undoStack.size() >= maxHistory)
        m_undoStack.removeFirst();
    m_undoStack.append(previous);
    m_redoStack.clear();
    Q_EMIT userDataChanged();
    return true;
}

bool AppState::save()
{
    if (!m_store.isReady())
        return false;
    m_userData.reconcileTombstones();
    if (!m_store.saveData(m_userData))
        return false;
    runAchievementChecks();
    return true;
}

bool AppState::step(QList<UserData>& from, QList<UserData>& to)
{
    if (!m_store.isReady() || from.isEmpty())
        return false;
    const UserData current = m_userData;
    m_userData = from.last();
    if (!save()) {
        m_userData = current;
        return false;
    }
    from.removeLast();
    to.append(current);
    Q_EMIT userDataChanged();
    return true;
}

bool AppState::undo()
{
    return step(m_undoStack, m_redoStack);
}

bool AppState::redo()
{
    return step(m_redoStack, m_undoStack);
}

bool AppState::updateSettings(const std::function<void(AppSettings&)>& change)
{
    if (!m_store.isReady())
        return false;
    AppSettings copy = m_settings;
    change(copy);
    if (!m_store.saveSettings(copy))
        return false;
    setSettings(copy);
    return true;
}

// ---------------------------------------------------------------- shortcuts

bool AppState::addShortcut(const QString& trigger, const QString& expansion, const std::optional<QString>& groupId)
{
    if (trigger.isEmpty() || expansion.isEmpty() || hasTrigger(m_userData, trigger)) {
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
        d.shortcuts.append(s);
    });
}

bool AppState::updateShortcut(const QString& id, const std::optional<QString>& trigger,
    const std::optional<QString>& expansion)
{
    if ((expansion && expansion->isEmpty()) || (trigger && trigger->isEmpty()))
        return false;
    if (trigger) {
        const auto own = std::find_if(m_userData.shortcuts.begin(), m_userData.shortcuts.end(),
            [&](const Shortcut& s) { return s.id == id; });
        const bool changed = own == m_userData.shortcuts.end() || !Text::equal(own->trigger, *trigger);
        if (changed && hasTrigger(m_userData, *trigger, id)) {
            ToastManager::shared().show(QStringLiteral("That trigger is already used. Choose a unique trigger."));
            return false;
        }
    }
    return mutate([&](UserData& d) {
        for (Shortcut& s : d.shortcuts) {
            if (s.id == id) {
                if (trigger)
                    s.trigger = *trigger;
                if (expansion)
                    s.expansion = *expansion;
                break;
            }
        }
    });
}

void AppState::deleteShortcut(const QString& id)
{
    if (m_settings.confirmDelete) {
        requestConfirmation({QStringLiteral("Delete shortcut?"), QStringLiteral("This action cannot be undone."),
            QStringLiteral("Delete"), QStringLiteral("trash"), true,
            [this, id] { deleteShortcutNow(id); }});
        return;
    }
    deleteShortcutNow(id);
}

void AppState::deleteShortcutNow(const QString& id)
{
    mutate([&](UserData& d) {
        d.shortcuts.removeIf([&](const Shortcut& s) { return s.id == id; });
        d.recordDeletion(TombstoneKind::shortcuts, {id});
    });
}

bool AppState::duplicateShortcut(const QString& id)
{
    const auto source = std::find_if(m_userData.shortcuts.begin(), m_userData.shortcuts.end(),
        [&](const Shortcut& s) { return s.id == id; });
    if (source == m_userData.shortcuts.end())
        return false;
    const Shortcut original = *source;
    return mutate([&](UserData& d) {
        TriggerNumbering numbering(d.shortcuts, {});
        Shortcut copy;
        copy.id = Uuid::generate();
        copy.trigger = numbering.claim(original.trigger);
        copy.expansion = original.expansion;
        copy.groupId = original.groupId;
        copy.order = original.order + 1;
        d.shortcuts.append(copy);
    });
}

// ---------------------------------------------------------------- folders

std::optional<QString> AppState::addGroup(const QString& name, const std::optional<QString>& parentGroupId,
    const std::optional<QString>& icon, const std::optional<QString>& color,
    const QString& visibility)
{
    const QString id = Uuid::generate();
    const bool ok = mutate([&](UserData& d) {
        Group g;
        g.id = id;
        g.name = name;
        g.parentGroupId = parentGroupId;
        g.order = nextOrder(d.groups, parentGroupId, &Group::parentGroupId);
        g.icon = icon;
        g.color = color;
        g.visibility = visibility;
        d.groups.append(g);
    });
    return ok ? std::optional(id) : std::nullopt;
}

void AppState::deleteGroup(const QString& id)
{
    if (m_settings.confirmDelete) {
        requestConfirmation({QStringLiteral("Delete folder?"),
            QStringLiteral("All shortcuts inside this folder will be deleted too. This can't be undone."),
            QStringLiteral("Delete"), QStringLiteral("trash"), true, [this, id] { deleteGroupNow(id); }});
        return;
    }
    deleteGroupNow(id);
}

void AppState::deleteGroupNow(const QString& id)
{
    mutate([&](UserData& d) {
        const QSet<QString> folders = folderSet(d, id);
        QStringList shortcutIds;
        for (const Shortcut& s : d.shortcuts) {
            if (s.groupId && folders.contains(*s.groupId))
                shortcutIds.append(s.id);
        }
        d.groups.removeIf([&](const Group& g) { return folders.contains(g.id); });
        d.shortcuts.removeIf([&](const Shortcut& s) { return s.groupId && folders.contains(*s.groupId); });
        QStringList folderIds(folders.begin(), folders.end());
        folderIds.sort();
        d.recordDeletion(TombstoneKind::groups, folderIds);
        d.recordDeletion(TombstoneKind::shortcuts, shortcutIds);
    });
}

bool AppState::ungroupFolder(const QString& id)
{
    const auto folder = std::find_if(m_userData.groups.begin(), m_userData.groups.end(),
        [&](const Group& g) { return g.id == id; });
    if (folder == m_userData.groups.end())
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
    const std::optional<std::optional<QString>>& icon,
    const std::optional<std::optional<QString>>& color)
{
    return mutate([&](UserData& d) {
        for (Group& g : d.groups) {
            if (g.id != id)
                continue;
            if (name)
                g.name = *name;
            if (icon)
                g.icon = *icon;
            if (color)
                g.color = *color;
            break;
        }
    });
}

bool AppState::duplicateGroup(const QString& id)
{
    const auto source = std::find_if(m_userData.groups.begin(), m_userData.groups.end(),
        [&](const Group& g) { return g.id == id; });
    if (source == m_userData.groups.end())
        return false;
    const Group original = *source;
    return mutate([&](UserData& d) {
        Group copy;
        copy.id = Uuid::generate();
        copy.name = original.name + QStringLiteral(" (copy)");
        copy.parentGroupId = original.parentGroupId;
        copy.order = original.order + 1;
        copy.icon = original.icon;
        copy.color = original.color;
        copy.visibility = QStringLiteral("private");
        d.groups.append(copy);
        TriggerNumbering numbering(d.shortcuts, {});
        const QList<Shortcut> inside = d.shortcuts;
        for (const Shortcut& s : inside) {
            if (s.groupId != original.id)
                continue;
            Shortcut c;
            c.id = Uuid::generate();
            c.trigger = numbering.claim(s.trigger);
            c.expansion = s.expansion;
            c.groupId = copy.id;
            c.order = s.order;
            d.shortcuts.append(c);
        }
    });
}

// ---------------------------------------------------------------- moving

bool AppState::moveShortcutToGroup(const QString& shortcutId, const std::optional<QString>& groupId)
{
    return mutate([&](UserData& d) {
        for (Shortcut& s : d.shortcuts) {
            if (s.id == shortcutId)
                s.groupId = groupId;
        }
    });
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
void moveAmongSiblings(QList<Item>& items, const QString& id, const std::optional<QString> Item::*parentKey, int direction)
{
    const auto self = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == id; });
    const std::optional<QString> parent = (*self).*parentKey;
    QList<Item*> siblings;
    for (Item& item : items) {
        if (item.*parentKey == parent)
            siblings.append(&item);
    }
    std::stable_sort(siblings.begin(), siblings.end(), [](const Item* a, const Item* b) { return a->order < b->order; });
    const qsizetype position = std::find_if(siblings.begin(), siblings.end(), [&](const Item* i) { return i->id == id; })
        - siblings.begin();
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
        if (std::any_of(d.shortcuts.begin(), d.shortcuts.end(), [&](const Shortcut& s) { return s.id == id; }))
            moveAmongSiblings(d.shortcuts, id, &Shortcut::groupId, direction);
        else if (std::any_of(d.groups.begin(), d.groups.end(), [&](const Group& g) { return g.id == id; }))
            moveAmongSiblings(d.groups, id, &Group::parentGroupId, direction);
    });
}

// ---------------------------------------------------------------- selection

void AppState::deleteSelected()
{
    const QSet<QString> selected = m_selectedIds;
    auto edit = [this, selected] {
        mutate([&](UserData& d) {
            QStringList shortcutIds;
            QStringList folderIds;
            for (const Shortcut& s : d.shortcuts) {
                if (selected.contains(s.id))
                    shortcutIds.append(s.id);
            }
            d.shortcuts.removeIf([&](const Shortcut& s) { return selected.contains(s.id); });
            const QList<Group> groups = d.groups;
            for (const Group& g : groups) {
                if (!selected.contains(g.id) || folderIds.contains(g.id))
                    continue;
                const QSet<QString> set = folderSet(d, g.id);
                for (const Shortcut& s : d.shortcuts) {
                    if (s.groupId && set.contains(*s.groupId))
                        shortcutIds.append(s.id);
                }
                QStringList ids(set.begin(), set.end());
                ids.sort();
                folderIds += ids;
                d.shortcuts.removeIf([&](const Shortcut& s) { return s.groupId && set.contains(*s.groupId); });
                d.groups.removeIf([&](const Group& x) { return set.contains(x.id); });
            }
            d.recordDeletion(TombstoneKind::shortcuts, shortcutIds);
            d.recordDeletion(TombstoneKind::groups, folderIds);
        });
    };
    if (m_settings.confirmDelete) {
        const QString title = selected.size() >= 2
            ? QStringLiteral("Delete %1 items?").arg(selected.size())
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
    for (const Shortcut& s : m_userData.shortcuts) {
        if (m_selectedIds.contains(s.id))
            payload.shortcuts.append(s);
    }
    for (const Group& g : m_userData.groups) {
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
            Group g;
            g.id = Uuid::generate();
            g.name = source.name;
            g.parentGroupId = folder;
            g.order = source.order;
            g.icon = source.icon;
            g.color = source.color;
            g.visibility = QStringLiteral("private");
            d.groups.append(g);
            ++added;
        }
        TriggerNumbering numbering(d.shortcuts, {});
        for (const Shortcut& source : payload.shortcuts) {
            Shortcut s;
            s.id = Uuid::generate();
            s.trigger = numbering.claim(source.trigger);
            s.expansion = source.expansion;
            s.groupId = folder;
            s.order = source.order;
            d.shortcuts.append(s);
            ++added;
        }
    });
    return ok ? added : 0;
}

void AppState::duplicateSelected()
{
    QStringList shortcutIds;
    QStringList folderIds;
    for (const Shortcut& s : m_userData.shortcuts) {
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

// ---------------------------------------------------------------- confirmation

void AppState::requestConfirmation(const ConfirmationRequest& request)
{
    setPendingConfirmation(request);
}

void AppState::confirmRequest()
{
    std::function<void()> action;
    if (m_pendingConfirmation)
        action = m_pendingConfirmation->action;
    setPendingConfirmation(std::nullopt);
    if (action)
        action();
    setSelectedIds({});
}

void AppState::cancelRequest()
{
    setPendingConfirmation(std::nullopt);
}

// ---------------------------------------------------------------- queries

QList<qsizetype> AppState::shortcutPositionsInGroup(const std::optional<QString>& groupId) const
{
    const QString query = m_searchQuery.toLower();
    const QList<Shortcut>& shortcuts = m_userData.shortcuts;
    QList<qsizetype> result;
    if (m_reviewingDuplicateShortcuts) {
        const QSet<QString> duplicates = m_userData.duplicateTriggers();
        for (const qsizetype i : m_searchIndex.matching(shortcuts, query)) {
            if (duplicates.contains(shortcuts[i].trigger))
                result.append(i);
        }
        std::stable_sort(result.begin(), result.end(), [&](qsizetype a, qsizetype b) {
            const Shortcut& x = shortcuts[a];
            const Shortcut& y = shortcuts[b];
            return x.trigger != y.trigger ? x.trigger < y.trigger : x.order < y.order;
        });
        return result;
    }
    if (query.isEmpty()) {
        for (qsizetype i = 0; i < shortcuts.size(); ++i) {
            if (shortcuts[i].groupId == groupId)
                result.append(i);
        }
    } else {
        result = m_searchIndex.matching(shortcuts, query);
    }
    std::stable_sort(result.begin(), result.end(), [&](qsizetype a, qsizetype b) { return shortcuts[a].order < shortcuts[b].order; });
    return result;
}

QList<Shortcut> AppState::shortcutsInGroup(const std::optional<QString>& groupId) const
{
    QList<Shortcut> result;
    for (const qsizetype i : shortcutPositionsInGroup(groupId))
        result.append(m_userData.shortcuts[i]);
    return result;
}

QList<Group> AppState::groupsInGroup(const std::optional<QString>& parentGroupId) const
{
    if (m_reviewingDuplicateShortcuts)
        return {};
    const QString query = m_searchQuery.toLower();
    QList<Group> result;
    for (const Group& g : m_userData.groups) {
        if (query.isEmpty() ? g.parentGroupId == parentGroupId : containsLowered(g.name, query))
            result.append(g);
    }
    std::stable_sort(result.begin(), result.end(), [](const Group& a, const Group& b) { return a.order < b.order; });
    return result;
}

QList<Group> AppState::breadcrumbs() const
{
    auto find = [&](const QString& id) -> const Group* {
        for (const Group& g : m_userData.groups) {
            if (g.id == id)
                return &g;
        }
        return nullptr;
    };
    QList<Group> path;
    if (!m_currentGroupId)
        return path;
    QSet<QString> seen;
    const Group* g = find(*m_currentGroupId);
    // Stops on a repeated folder too, so even a damaged library cannot loop here.
    while (g && !seen.contains(g->id)) {
        seen.insert(g->id);
        path.prepend(*g);
        g = g->parentGroupId ? find(*g->parentGroupId) : nullptr;
    }
    return path;
}

std::optional<QString> AppState::effectiveCurrentGroupId() const
{
    if (!m_currentGroupId)
        return std::nullopt;
    const bool exists = std::any_of(m_userData.groups.begin(), m_userData.groups.end(),
        [&](const Group& g) { return g.id == *m_currentGroupId; });
    return exists ? m_currentGroupId : std::nullopt;
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

// ---------------------------------------------------------------- statistics

QString AppState::dayKey(const QDateTime& date)
{
    // Gregorian, fixed digits, in the user's current time zone.
    return date.toTimeZone(Clock::current().timeZone()).date().toString(QStringLiteral("yyyy-MM-dd"));
}

void AppState::recordExpansion(const QString& trigger, qint64 charsSaved)
{
    if (!m_store.isReady())
        return;
    const Stats previous = m_stats;
    const QDateTime now = Clock::current().now();
    Stats& s = m_stats;
    s.totalExpansions += 1;
    const qint64 chars = std::max<qint64>(charsSaved, 0);
    const double saved = double(chars) / charactersPerSecond;
    s.totalTimeSaved += saved;
    s.totalCharsSaved += chars;

    const auto shortcut = std::find_if(m_userData.shortcuts.begin(), m_userData.shortcuts.end(),
        [&](const Shortcut& x) { return x.trigger == trigger; });
    if (shortcut != m_userData.shortcuts.end()) {
        auto it = s.perShortcut.find(shortcut->id);
        if (it != s.perShortcut.end()) {
            it->count += 1;
            it->lastUsedAt = now;
        } else {
            s.perShortcut.insert(shortcut->id, PerShortcutStat{1, now, now});
        }
    }

    const QString today = dayKey(now);
    s.dailyBuckets[today] = s.dailyBuckets.value(today, 0) + 1;
    if (s.dailyBuckets.size() >= bucketPruningThreshold) {
        const QString cutoff = dayKey(now.addSecs(-bucketPruningAge));
        for (auto it = s.dailyBuckets.begin(); it != s.dailyBuckets.end();) {
            if (it.key() < cutoff)
                it = s.dailyBuckets.erase(it);
            else
                ++it;
        }
    }

    const QString yesterday = dayKey(now.addSecs(-oneDay));
    if (s.streak.lastDay == today) {
        // Already counted today.
    } else if (s.streak.lastDay == yesterday) {
        s.streak.current += 1;
        s.streak.lastDay = today;
    } else {
        s.streak.current = 1;
        s.streak.lastDay = today;
    }
    s.streak.longest = std::max(s.streak.longest, s.streak.current);

    s.recentExpansionTimestamps.append(now);
    if (s.recentExpansionTimestamps.size() > recentTimestampsKept)
        s.recentExpansionTimestamps.remove(0, s.recentExpansionTimestamps.size() - recentTimestampsKept);

    if (!saveStats(previous))
        return;
    runAchievementChecks();
    if (m_settings.showTimeSavedAnimation && m_timeSavedPresenter)
        m_timeSavedPresenter(saved);
}

void AppState::setFirstUseFlag(const QString& flag)
{
    if (!m_store.isReady() || m_stats.firstUseFlags.contains(flag))
        return;
    const Stats previous = m_stats;
    m_stats.firstUseFlags.insert(flag);
    if (saveStats(previous))
        runAchievementChecks();
}

// Writes the current statistics; on failure puts `previous` back. Announces the outcome.
bool AppState::saveStats(const Stats& previous)
{
    if (!m_store.saveStats(m_stats)) {
        m_stats = previous;
        Q_EMIT statsChanged();
        return false;
    }
    Q_EMIT statsChanged();
    return true;
}

void AppState::backfillAchievementsIfNeeded()
{
    AchievementEngine::backfillIfNeeded(m_stats, m_userData);
    m_store.saveStats(m_stats);
}

void AppState::runAchievementChecks()
{
    if (!m_store.isReady())
        return;
    const QList<Achievement> newly = AchievementEngine::evaluate(m_stats, m_userData);
    if (newly.isEmpty())
        return;
    const Stats previous = m_stats;
    const QDateTime now = Clock::current().now();
    for (const Achievement& a : newly)
        m_stats.unlocked[a.id] = now;
    if (!saveStats(previous))
        return;
    if (!m_settings.showAchievementToast || !m_achievementPresenter)
        return;
    for (qsizetype i = 0; i < newly.size(); ++i) {
        const Achievement achievement = newly[i];
        Scheduler::current().after(double(i) * 0.4, this,
            [this, achievement] { if (m_achievementPresenter) m_achievementPresenter(achievement); });
    }
}

// ---------------------------------------------------------------- published setters

void AppState::setUserData(const UserData& data)
{
    m_userData = data;
    Q_EMIT userDataChanged();
}

void AppState::setStats(const Stats& stats)
{
    m_stats = stats;
    Q_EMIT statsChanged();
}

void AppState::setSettings(const AppSettings& settings)
{
    m_settings = settings;
    Q_EMIT settingsChanged();
}

void AppState::setStorageReady(bool ready)
{
    if (m_storageReady == ready)
        return;
    m_storageReady = ready;
    Q_EMIT storageReadyChanged(ready);
}

void AppState::setPendingConfirmation(std::optional<ConfirmationRequest> request)
{
    m_pendingConfirmation = std::move(request);
    Q_EMIT pendingConfirmationChanged();
}

void AppState::setSearchQuery(const QString& query)
{
    if (m_searchQuery == query)
        return;
    m_searchQuery = query;
    Q_EMIT searchQueryChanged();
}

void AppState::setReviewingDuplicateShortcuts(bool reviewing)
{
    if (m_reviewingDuplicateShortcuts == reviewing)
        return;
    m_reviewingDuplicateShortcuts = reviewing;
    Q_EMIT reviewingDuplicateShortcutsChanged();
}

void AppState::setCurrentGroupId(const std::optional<QString>& id)
{
    if (m_currentGroupId == id)
        return;
    m_currentGroupId = id;
    Q_EMIT currentGroupIdChanged();
}

void AppState::setSelectedIds(const QSet<QString>& ids)
{
    if (m_selectedIds == ids)
        return;
    m_selectedIds = ids;
    Q_EMIT selectedIdsChanged();
}
