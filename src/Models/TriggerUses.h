#pragma once

#include "Models/Shortcut.h"

#include <QHash>
#include <QList>
#include <QString>

// How many shortcuts of a library use each trigger, triggers being the same under canonical
// equivalence. Brought up to date with a new list of the library in proportion to what
// changed since the list it saw last, so that asking after every edit of a large library
// costs little. Given another of the shortcuts' texts (their id), it counts that instead.
class TriggerUses {
public:
    explicit TriggerUses(QString Shortcut::*text = &Shortcut::trigger)
        : m_text(text)
    {
    }

    // Takes the library's current shortcuts.
    void follow(const QList<Shortcut>& shortcuts);

    // How many shortcuts use `trigger` (or the text counted).
    int uses(const QString& trigger) const;
    // How many triggers are used by two shortcuts or more.
    qsizetype duplicatedTriggers() const { return m_duplicated; }

private:
    void add(const QString& trigger);
    void remove(const QString& trigger);

    QString Shortcut::*m_text;
    QList<Shortcut> m_seen;
    QHash<QString, int> m_uses;
    qsizetype m_duplicated = 0;
};
