#include "Views/MenuBar/list/CardTexts.h"

#include "Models/UserData.h"

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
    const auto shortcuts = std::count_if(data.shortcuts.cbegin(), data.shortcuts.cend(),
        [&](const Shortcut& s) { return s.groupId == folderId; });
    const auto folders = std::count_if(data.groups.cbegin(), data.groups.cend(),
        [&](const Group& g) { return g.parentGroupId == folderId; });
    return shortcuts + folders;
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
    return QString::number(count) + (count == 1 ? QStringLiteral(" duplicate trigger") : QStringLiteral(" duplicate triggers"));
}

} // namespace CardTexts
