#include "App/AppState.h"

#include "Utilities/Text.h"

#include <algorithm>

namespace {

bool containsLowered(const QString& text, const QString& loweredQuery)
{
    return text.toLower().contains(loweredQuery);
}

} // namespace

QList<Shortcut> AppState::shortcutsInGroup(const std::optional<QString>& groupId) const
{
    const QString query = m_searchQuery.toLower();
    QList<Shortcut> result;
    auto matches = [&](const Shortcut& s) {
        return containsLowered(s.trigger, query) || containsLowered(s.expansion, query);
    };
    if (m_reviewingDuplicateShortcuts) {
        const QSet<QString> duplicates = m_userData.duplicateTriggers();
        for (const Shortcut& s : m_userData.shortcuts) {
            // The duplicates are known by their canonical text, the form they are compared in.
            if (duplicates.contains(Text::canonical(s.trigger)) && (query.isEmpty() || matches(s)))
                result.append(s);
        }
        std::stable_sort(result.begin(), result.end(), [](const Shortcut& a, const Shortcut& b) {
            const QString left = Text::canonical(a.trigger);
            const QString right = Text::canonical(b.trigger);
            return left != right ? left < right : a.order < b.order;
        });
        return result;
    }
    for (const Shortcut& s : m_userData.shortcuts) {
        if (query.isEmpty() ? s.groupId == groupId : matches(s))
            result.append(s);
    }
    std::stable_sort(result.begin(), result.end(), [](const Shortcut& a, const Shortcut& b) { return a.order < b.order; });
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
