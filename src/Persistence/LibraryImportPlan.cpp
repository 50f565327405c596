#include "Persistence/LibraryImportPlan.h"

#include "Models/TriggerNumbering.h"
#include "Persistence/IdReservation.h"
#include "Persistence/SiblingOrders.h"
#include "Utilities/Text.h"

#include <QHash>
#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// Positions of `items` in ascending `order`, equal orders kept in their given order.
template <class T> std::vector<qsizetype> byOrder(const QList<T>& items)
{
    std::vector<qsizetype> positions(items.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::stable_sort(
        positions.begin(), positions.end(), [&](qsizetype a, qsizetype b) { return items[a].order < items[b].order; });
    return positions;
}

template <class T> QHash<QString, qsizetype> positionsById(const QList<T>& items)
{
    QHash<QString, qsizetype> positions;
    positions.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        positions.insert(Text::canonical(items[i].id), i);
    return positions;
}

// What makes an imported folder the same as one the library has: everything but id and
// order, with an absent visibility read as "private". Group's own hashing and equality
// compare the text under canonical equivalence.
Group matchKey(const Group& folder)
{
    Group key = folder;
    key.id.clear();
    key.order = 0;
    key.visibility = folder.visibility.value_or(Group::visibilityText(FolderVisibility::privateFolder));
    return key;
}

class LibraryMerge {
public:
    LibraryMerge(const UserData& imported, const UserData& current)
        : m_imported(imported)
        , m_current(current)
        , m_result(current)
        , m_iconIds(IdReservation::of(current.customIcons, current.deletedIds.customIcons))
        , m_folderIds(IdReservation::of(current.groups, current.deletedIds.groups))
        , m_shortcutIds(IdReservation::of(current.shortcuts, current.deletedIds.shortcuts))
    {
    }

    LibraryImportPlan run()
    {
        m_imported.validate();
        m_current.validate();
        mergeIcons();
        mergeFolders();
        mergeShortcuts();
        m_result.reconcileTombstones();
        m_result.validate();

        LibraryImportPlan plan;
        plan.addedShortcutCount = m_result.shortcuts.size() - m_current.shortcuts.size();
        plan.addedGroupCount = m_result.groups.size() - m_current.groups.size();
        plan.addedIconCount = m_result.customIcons.size() - m_current.customIcons.size();
        plan.unchangedShortcutCount = m_unchanged;
        plan.renamedTriggers = m_renamed;
        plan.library = std::move(m_result);
        return plan;
    }

private:
    void mergeIcons()
    {
        const QHash<QString, qsizetype> existing = positionsById(m_current.customIcons);
        for (const CustomIcon& icon : m_imported.customIcons) {
            const QString key = Text::canonical(icon.id);
            const auto same = existing.constFind(key);
            if (same != existing.constEnd() && m_current.customIcons[*same] == icon) {
                m_iconMap.insert(key, m_current.customIcons[*same].id);
                continue;
            }
            const QString id = m_iconIds.claim(icon.id);
            m_result.customIcons.append(CustomIcon{id, icon.name, icon.svg});
            m_iconMap.insert(key, id);
        }
    }

    // Every folder is imported after its parent: from each top-level folder in turn, depth
    // first, siblings in ascending order. The walk keeps its own stack, so a hostile file
    // with folders nested a million deep cannot exhaust the call stack.
    void mergeFolders()
    {
        m_currentFolderPositions = positionsById(m_current.groups);
        for (const Group& folder : m_current.groups) {
            addMatch(folder);
            m_folderOrders.note(folder.parentGroupId, folder.order);
        }
        QList<qsizetype> roots;
        QHash<QString, QList<qsizetype>> children;
        for (qsizetype position : byOrder(m_imported.groups)) {
            const Group& folder = m_imported.groups[position];
            if (folder.parentGroupId)
                children[Text::canonical(*folder.parentGroupId)].append(position);
            else
                roots.append(position);
        }
        for (qsizetype root : roots) {
            QList<qsizetype> stack{root};
            while (!stack.isEmpty()) {
                const Group& folder = m_imported.groups[stack.takeLast()];
                const QString key = Text::canonical(folder.id);
                importFolder(folder, key);
                const QList<qsizetype> below = children.value(key);
                std::copy(below.crbegin(), below.crend(), std::back_inserter(stack));
            }
        }
    }

    void importFolder(const Group& folder, const QString& key)
    {
        Group candidate;
        candidate.name = folder.name;
        // Parents are imported first; the library's validation rules out any other case.
        if (folder.parentGroupId)
            candidate.parentGroupId = m_folderMap.value(Text::canonical(*folder.parentGroupId));
        candidate.collapsed = folder.collapsed;
        candidate.icon = mappedIcon(folder.icon);
        candidate.color = folder.color;
        candidate.visibility = folder.visibility;
        candidate.shareId = folder.shareId;

        const Group wanted = matchKey(candidate);
        // The library's own folder with this id comes first: of two equal sibling folders,
        // each must match itself, or importing a library into itself would pour the
        // second one's shortcuts into the first as renamed copies.
        const auto sameId = m_currentFolderPositions.constFind(key);
        if (sameId != m_currentFolderPositions.constEnd() && matchKey(m_current.groups[*sameId]) == wanted) {
            m_folderMap.insert(key, m_current.groups[*sameId].id);
            return;
        }
        const auto match = m_folderMatches.constFind(wanted);
        if (match != m_folderMatches.constEnd()) {
            m_folderMap.insert(key, *match);
            return;
        }
        candidate.id = m_folderIds.claim(folder.id);
        candidate.order = m_folderOrders.next(candidate.parentGroupId);
        candidate.visibility = Group::visibilityText(FolderVisibility::privateFolder);
        candidate.shareId.reset();
        m_result.groups.append(candidate);
        addMatch(candidate);
        m_folderMap.insert(key, candidate.id);
    }

    // An imported folder matches the first of the equal folders: existing ones first, then
    // those this merge added.
    void addMatch(const Group& folder)
    {
        const Group key = matchKey(folder);
        if (!m_folderMatches.contains(key))
            m_folderMatches.insert(key, folder.id);
    }

    // A folder showing an imported custom icon shows it under the id the icon got here.
    std::optional<QString> mappedIcon(const std::optional<QString>& icon) const
    {
        if (!icon)
            return icon;
        const std::optional<QString> iconId = CustomIcon::idFromIconKey(*icon);
        if (!iconId)
            return icon;
        const auto mapped = m_iconMap.constFind(Text::canonical(*iconId));
        if (mapped == m_iconMap.constEnd())
            return icon;
        return CustomIcon{*mapped, {}, {}}.iconKey();
    }

    void mergeShortcuts()
    {
        const QHash<QString, qsizetype> existing = positionsById(m_current.shortcuts);
        for (const Shortcut& shortcut : m_current.shortcuts)
            m_shortcutOrders.note(shortcut.groupId, shortcut.order);
        TriggerNumbering triggers(m_current.shortcuts, m_imported.shortcuts);

        for (qsizetype position : byOrder(m_imported.shortcuts)) {
            Shortcut shortcut = m_imported.shortcuts[position];
            if (shortcut.groupId)
                shortcut.groupId = m_folderMap.value(Text::canonical(*shortcut.groupId));

            const auto same = existing.constFind(Text::canonical(shortcut.id));
            if (same != existing.constEnd()) {
                const Shortcut& held = m_current.shortcuts[*same];
                shortcut.order = held.order; // where it sits does not make it a different shortcut
                if (shortcut == held) {
                    ++m_unchanged;
                    continue;
                }
            }
            shortcut.id = m_shortcutIds.claim(shortcut.id);
            const QString written = shortcut.trigger;
            shortcut.trigger = triggers.claim(written);
            if (shortcut.trigger != written)
                m_renamed.append({written, shortcut.trigger});
            shortcut.order = m_shortcutOrders.next(shortcut.groupId);
            m_result.shortcuts.append(shortcut);
        }
    }

    const UserData& m_imported;
    const UserData& m_current;
    UserData m_result;
    IdReservation m_iconIds;
    IdReservation m_folderIds;
    IdReservation m_shortcutIds;
    QHash<QString, QString> m_iconMap; // canonical imported icon id -> id in the result
    QHash<QString, QString> m_folderMap; // canonical imported folder id -> id in the result
    QHash<QString, qsizetype> m_currentFolderPositions; // canonical id -> position in m_current
    QHash<Group, QString> m_folderMatches;
    SiblingOrders m_folderOrders;
    SiblingOrders m_shortcutOrders;
    qint64 m_unchanged = 0;
    QList<PromptTextImport::RenamedTrigger> m_renamed;
};

} // namespace

LibraryImportPlan LibraryImportPlan::merge(const UserData& imported, const UserData& current)
{
    return LibraryMerge(imported, current).run();
}
