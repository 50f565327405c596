#include "App/State/AppState.h"

#include "Utilities/Text.h"

#include <algorithm>

namespace {

bool containsLowered(const QString& text, const QString& loweredQuery)
{
    return text.toLower().contains(loweredQuery);
}

} // namespace

QList<qsizetype> AppState::shortcutPositionsInGroup(const std::optional<QString>& groupId) const
{
    const QString query = m_searchQuery.toLower();
    const QList<Shortcut>& shortcuts = m_userData.shortcuts;
    QList<qsizetype> result;
    if (m_reviewingDuplicateShortcuts) {
        const QSet<QString> duplicates = m_userData.duplicateTriggers();
        for (const qsizetype i : m_searchIndex.matching(shortcuts, query)) {
            // The duplicates are known by their canonical text, the form they are compared in.
            if (duplicates.contains(Text::canonical(shortcuts[i].trigger)))
                result.append(i);
        }
        std::stable_sort(result.begin(), result.end(), [&](qsizetype a, qsizetype b) {
            const Shortcut& x = shortcuts[a];
            const Shortcut& y = shortcuts[b];
            const QString left = Text::canonical(x.trigger);
            const QString right = Text::canonical(y.trigger);
            return left != right ? left < right : x.order < y.order;
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
    // Usually the library's list is in order already; a large one is not sorted again per key.
    const auto byOrder = [&](qsizetype a, qsizetype b) { return shortcuts[a].order < shortcuts[b].order; };
    if (!std::is_sorted(result.cbegin(), result.cend(), byOrder))
        std::stable_sort(result.begin(), result.end(), byOrder);
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
    return m_currentGroupId ? m_userData.folderPath(*m_currentGroupId) : QList<Group>();
}

std::optional<QString> AppState::effectiveCurrentGroupId() const
{
    if (!m_currentGroupId)
        return std::nullopt;
    return m_userData.group(*m_currentGroupId) ? m_currentGroupId : std::nullopt;
}
