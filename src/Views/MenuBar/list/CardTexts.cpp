#include "Views/MenuBar/list/CardTexts.h"

#include "Models/UserData.h"

#include <QHash>
#include <algorithm>

namespace CardTexts {

const Group* labelledFolder(const Shortcut& shortcut, const UserData& library, const QString& searchQuery)
{
    if (searchQuery.isEmpty() || !shortcut.groupId)
        return nullptr;
    return library.group(*shortcut.groupId);
}

QString itemCount(qsizetype count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" item") : QStringLiteral(" items"));
}

qsizetype childCount(const UserData& data, const QString& folderId)
{
    // Every folder card asks; one pass counts for all of them until the library changes.
    // The kept copies share the lists, so a list that is still shared is unchanged.
    struct Counts {
        QList<Shortcut> shortcuts;
        QList<Group> groups;
        QHash<QString, qsizetype> perFolder;
    };
    static thread_local std::optional<Counts> counted;
    if (!counted || !counted->shortcuts.isSharedWith(data.shortcuts) || !counted->groups.isSharedWith(data.groups)) {
        counted.emplace(Counts{data.shortcuts, data.groups, {}});
        for (const Shortcut& s : data.shortcuts) {
            if (s.groupId)
                ++counted->perFolder[*s.groupId];
        }
        for (const Group& g : data.groups) {
            if (g.parentGroupId)
                ++counted->perFolder[*g.parentGroupId];
        }
    }
    return counted->perFolder.value(folderId);
}

QString literal(const QString& text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString duplicateTriggers(qsizetype count)
{
    if (count == 0)
        return QStringLiteral("All triggers are unique");
    return QString::number(count)
        + (count == 1 ? QStringLiteral(" duplicate trigger") : QStringLiteral(" duplicate triggers"));
}

} // namespace CardTexts
