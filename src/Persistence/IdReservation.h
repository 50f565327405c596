#pragma once

#include "Models/Tombstone.h"

#include <QList>
#include <QSet>
#include <QString>

// The ids of one kind of item that an import may no longer hand out: those of the live
// items, those named by the kind's tombstones (a deleted item's id is never reused), and
// those given out so far. Ids are compared as canonical text.
class IdReservation {
public:
    // The ids of `items` and of the `tombstones` of their kind.
    template <class T> static IdReservation of(const QList<T>& items, const QList<Tombstone>& tombstones)
    {
        IdReservation ids;
        for (const T& item : items)
            ids.reserve(item.id);
        for (const Tombstone& tombstone : tombstones)
            ids.reserve(tombstone.id);
        return ids;
    }

    void reserve(const QString& id);
    bool contains(const QString& id) const;

    // `preferred` when it is still free, else a fresh random UUID that is; either way the
    // returned id is reserved from now on.
    QString claim(const QString& preferred);
    // A fresh random UUID that is free, reserved from now on.
    QString claimFresh();

private:
    QSet<QString> m_ids;
};
