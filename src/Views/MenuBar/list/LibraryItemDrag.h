#pragma once

#include "Models/UserData.h"

#include <QSet>
#include <QString>
#include <QStringList>

class QMimeData;

// What a drag of library items carries, and what a drop of them onto a folder does.
//
// A drag from the main list carries the ids of the dragged items, one per line, twice: as
// plain text and under our own MIME type. Only the own type is taken as a drop, so text
// dragged in from another program neither lights a folder up nor moves anything.
namespace LibraryItemDrag {

inline constexpr char mimeType[] = "application/x-velmora-library-items";

// The ids one per line, in the order given.
QString payload(const QList<QString>& ids);

// A new drag payload of `ids`; the caller (the drag) takes ownership.
QMimeData* mimeData(const QList<QString>& ids);

// Whether `data` is a drag of library items from this program.
bool carriesItems(const QMimeData* data);

// The dragged ids in payload order, empty lines dropped; empty when `data` carries no items.
QStringList itemIds(const QMimeData* data);

// Whether the folder `folderId` lies inside the folder `ancestorId`, at any depth (a folder
// does not lie inside itself). Parent links that loop end the walk.
bool liesWithin(const QList<Group>& groups, const QString& folderId, const QString& ancestorId);

// Moves the items named by `ids` into the folder `folderId`: the first shortcut and the
// first folder with each id. A folder is not moved into itself or into a folder inside it.
// Returns how many items changed place; nothing changes when the target folder does not
// exist or an item already lies in it.
int moveIntoFolder(UserData& data, const QStringList& ids, const QString& folderId);

} // namespace LibraryItemDrag
