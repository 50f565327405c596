#pragma once

#include "Models/Shortcut.h"

#include <QList>
#include <QString>
#include <cstddef>
#include <vector>

// How many shortcuts of a library use each id, ids being the same under canonical
// equivalence, for the check that a change brings no id already in use. Kept as one sorted
// list of the hashes of the ids' canonical forms, 8 bytes a shortcut (a table of the ids
// took several megabytes for a large library, for as long as the program ran). Two ids may
// share a hash: an id whose hash is in the list is counted exactly in the list followed.
// Brought up to date with a new list of the library in proportion to what changed, like
// TriggerUses.
class IdHashes {
public:
    using Hash = size_t (*)(const QString& id);

    // `hash` must give canonically equivalent ids the same value.
    explicit IdHashes(Hash hash = canonicalHash)
        : m_hash(hash)
    {
    }

    // Takes the library's current shortcuts.
    void follow(const QList<Shortcut>& shortcuts);
    // The same, but only when following a list already: the list seen last is kept to find
    // what changed, and left on a large library's list from before an edit it would keep
    // that whole list alive beside the library's own.
    void keepUp(const QList<Shortcut>& shortcuts)
    {
        if (m_following)
            follow(shortcuts);
    }

    // How many shortcuts of the list followed use `id`.
    int uses(const QString& id) const;

    // The hash of `id`'s canonical form.
    static size_t canonicalHash(const QString& id);

private:
    Hash m_hash;
    QList<Shortcut> m_seen;
    std::vector<size_t> m_hashes;
    bool m_following = false;
};
