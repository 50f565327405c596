#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

// What a drag of library items carries.
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

} // namespace LibraryItemDrag
