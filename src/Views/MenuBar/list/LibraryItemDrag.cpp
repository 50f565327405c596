#include "Views/MenuBar/list/LibraryItemDrag.h"

#include <QMimeData>
#include <algorithm>

namespace LibraryItemDrag {

QString payload(const QList<QString>& ids)
{
    return QStringList(ids).join(QLatin1Char('\n'));
}

QMimeData* mimeData(const QList<QString>& ids)
{
    auto* data = new QMimeData;
    const QString text = payload(ids);
    data->setText(text);
    data->setData(QString::fromLatin1(mimeType), text.toUtf8());
    return data;
}

bool carriesItems(const QMimeData* data)
{
    return data && data->hasFormat(QString::fromLatin1(mimeType));
}

QStringList itemIds(const QMimeData* data)
{
    if (!carriesItems(data))
        return {};
    return QString::fromUtf8(data->data(QString::fromLatin1(mimeType))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool liesWithin(const QList<Group>& groups, const QString& folderId, const QString& ancestorId)
{
    QSet<QString> visited;
    QString current = folderId;
    while (!visited.contains(current)) {
        visited.insert(current);
        const auto folder = std::find_if(groups.cbegin(), groups.cend(), [&](const Group& g) { return g.id == current; });
        if (folder == groups.cend() || !folder->parentGroupId)
            return false;
        current = *folder->parentGroupId;
        if (current == ancestorId)
            return true;
    }
    return false;
}

int moveIntoFolder(UserData& data, const QStringList& ids, const QString& folderId)
{
    const bool targetExists = std::any_of(data.groups.cbegin(), data.groups.cend(), [&](const Group& g) { return g.id == folderId; });
    if (!targetExists)
        return 0;
    int moved = 0;
    for (const QString& id : ids) {
        const auto shortcut = std::find_if(data.shortcuts.begin(), data.shortcuts.end(), [&](const Shortcut& s) { return s.id == id; });
        if (shortcut != data.shortcuts.end() && shortcut->groupId != folderId) {
            shortcut->groupId = folderId;
            ++moved;
        }
        const auto folder = std::find_if(data.groups.begin(), data.groups.end(), [&](const Group& g) { return g.id == id; });
        if (folder == data.groups.end() || folder->id == folderId || folder->parentGroupId == folderId)
            continue;
        if (liesWithin(data.groups, folderId, id))
            continue;
        folder->parentGroupId = folderId;
        ++moved;
    }
    return moved;
}

} // namespace LibraryItemDrag
