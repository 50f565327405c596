#pragma once

#include "Models/Shortcut.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <future>

// Answers "which shortcuts contain this text" over a large library without lowering every
// trigger and text again for each key typed. Triggers in plain ASCII and texts whose lower
// case takes as many bytes are searched as they are, lowering letters while comparing; any
// other is kept lowered once, as UTF-8.
// When the library changes, only the entries between the unchanged beginning and end of the
// list are made again, those of shortcuts whose texts did not change carried over: an edit of
// a large library costs the next key a pass over the list, not a rebuild. A query that extends
// the previous one only looks through the matches of the longest recent query it extends,
// each from where that one was found, and a recent query typed again (a key deleted) is
// answered from memory.
//
// Matching is the list's rule: the lowered trigger or text contains the lowered query.
class ShortcutSearchIndex {
public:
    ~ShortcutSearchIndex();

    // Starts lowering `shortcuts` on a worker thread, so that the first search does not
    // wait for a large library to be read through. Does nothing once the index holds entries.
    void prepare(const QList<Shortcut>& shortcuts);

    // Positions in `shortcuts`, in their order, of the shortcuts that match `loweredQuery`;
    // every position when the query is empty.
    QList<qsizetype> matching(const QList<Shortcut>& shortcuts, const QString& loweredQuery);

    // Lets go of the list last given, which is kept only to know it again when it comes back
    // unchanged: after the library has changed, holding it would keep a large library's whole
    // list alive beside the current one until the next search. The entries stay, to be
    // carried over.
    void forgetSource();

private:
    struct Entry {
        // Kept to find the shortcut again, and to tell whether its texts are still the ones
        // lowered below.
        QString id;
        QString trigger;
        CompactText expansion;
        // Null for a trigger in plain ASCII.
        QByteArray loweredTrigger;
        // Null for a text that lowers in place (CompactText::lowersInPlace).
        QByteArray loweredExpansion;
        bool asciiExpansion = true;
    };

    static Entry entryFor(const Shortcut& shortcut);
    // Whether `entry` was made from the very texts `shortcut` holds now.
    static bool holds(const Entry& entry, const Shortcut& shortcut);
    static QList<Entry> entriesFor(const QList<Shortcut>& shortcuts);
    void update(const QList<Shortcut>& shortcuts);
    // Where the shortcut at `position` first matches `needle`: 2 * the place in its trigger,
    // or 2 * the place in its text + 1; -1 for nowhere. Looks from `after` on, a place found
    // for a query that `needle` extends (0 looks everywhere): a longer query is found nowhere
    // before a shorter one it begins with.
    qint32 find(qsizetype position, const QByteArray& needle, bool asciiNeedle, qint32 after) const;

    QList<Shortcut> m_source;
    QList<Shortcut> m_preparedSource;
    std::future<QList<Entry>> m_prepared;
    QList<Entry> m_entries;
    struct Found {
        QList<qsizetype> positions;
        // Where each was found, as find tells it.
        QList<qint32> places;
    };
    // The matches of recent queries, while the shortcuts stay as they are.
    QHash<QString, Found> m_recent;
};
