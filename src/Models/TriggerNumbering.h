#pragma once

#include "Models/Shortcut.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// Gives shortcuts added in bulk a trigger no other shortcut has. A trigger that is already
// in use becomes its first free numbered form: the trigger followed by "(2)", "(3)", ...
// with no space. A numbered form is free when it is neither in use nor reserved; reserved
// are the triggers of every shortcut of the batch as written, so that a renamed shortcut
// never takes the trigger a later one of the same batch arrives with.
//
// Triggers are compared as canonical text. Each call is amortised constant time: a batch
// of thousands of equal triggers must not rescan (2), (3), ... for every one of them.
class TriggerNumbering {
public:
    // `inUse`: the library's shortcuts; `incoming`: the whole batch, as written.
    TriggerNumbering(const QList<Shortcut>& inUse, const QList<Shortcut>& incoming);

    // The trigger a shortcut written with `trigger` gets; from then on that trigger is in use.
    QString claim(const QString& trigger);

private:
    bool isFree(const QString& canonicalTrigger) const;

    QSet<QString> m_inUse;
    QSet<QString> m_reserved;
    // Per canonical trigger, the number to try first next time: every smaller number has
    // been found taken, and the sets only grow, so it stays taken.
    QHash<QString, qint64> m_nextNumber;
};
