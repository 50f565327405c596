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
    // The same, but only when counting already: the list seen last is kept to find what
    // changed, and left on a large library's list from before an edit it would keep that
    // whole list alive beside the library's own until the next question.
    void keepUp(const QList<Shortcut>& shortcuts)
    {
        if (m_counting)
            follow(shortcuts);
    }

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
    bool m_counting = false;
};
