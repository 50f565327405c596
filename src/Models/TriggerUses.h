#pragma once

#include "Models/Shortcut.h"

#include <QHash>
#include <QList>
#include <QString>

// How many shortcuts of a library use each trigger, triggers being the same under canonical
// equivalence. Brought up to date with a new list of the library in proportion to what
// changed since the list it saw last, so that asking after every edit of a large library
// costs little.
class TriggerUses {
public:
    // Takes the library's current shortcuts.
    void follow(const QList<Shortcut>& shortcuts);

    // How many shortcuts use `trigger`.
    int uses(const QString& trigger) const;
    // How many triggers are used by two shortcuts or more.
    qsizetype duplicatedTriggers() const { return m_duplicated; }

private:
    void add(const QString& trigger);
    void remove(const QString& trigger);

    QList<Shortcut> m_seen;
    QHash<QString, int> m_uses;
    qsizetype m_duplicated = 0;
};
