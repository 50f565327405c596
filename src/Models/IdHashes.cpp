#include "Models/IdHashes.h"

#include "Models/LibraryDifference.h"
#include "Utilities/BackgroundRelease.h"
#include "Utilities/Text.h"

#include <algorithm>
#include <iterator>

size_t IdHashes::canonicalHash(const QString& id)
{
    return Text::hash(id);
}

void IdHashes::follow(const QList<Shortcut>& shortcuts)
{
    if (m_following && m_seen.isSharedWith(shortcuts))
        return;
    const SharedEnds ends = SharedEnds::of(shortcuts, m_seen);
    const qsizetype removed = m_seen.size() - ends.head - ends.tail;
    const qsizetype added = shortcuts.size() - ends.head - ends.tail;
    const auto hashesOf = [this](const QList<Shortcut>& list, qsizetype from, qsizetype count) {
        std::vector<size_t> hashes;
        hashes.reserve(size_t(count));
        for (qsizetype i = from; i < from + count; ++i)
            hashes.push_back(m_hash(list.at(i).id));
        std::sort(hashes.begin(), hashes.end());
        return hashes;
    };
    if (!m_following || shortcuts.size() < removed + added) {
        m_hashes = hashesOf(shortcuts, 0, shortcuts.size());
    } else if (removed > 0 || added > 0) {
        // One pass over the list whatever the size of the change: taking out and putting in
        // one hash at a time moves the rest of the list each time.
        const std::vector<size_t> gone = hashesOf(m_seen, ends.head, removed);
        const std::vector<size_t> come = hashesOf(shortcuts, ends.head, added);
        std::vector<size_t> kept;
        kept.reserve(m_hashes.size());
        std::set_difference(m_hashes.cbegin(), m_hashes.cend(), gone.cbegin(), gone.cend(), std::back_inserter(kept));
        m_hashes.clear();
        m_hashes.reserve(kept.size() + come.size());
        std::merge(kept.cbegin(), kept.cend(), come.cbegin(), come.cend(), std::back_inserter(m_hashes));
    }
    BackgroundRelease::replace(m_seen, shortcuts);
    m_following = true;
}

int IdHashes::uses(const QString& id) const
{
    if (!std::binary_search(m_hashes.cbegin(), m_hashes.cend(), m_hash(id)))
        return 0;
    return int(std::count_if(
        m_seen.cbegin(), m_seen.cend(), [&id](const Shortcut& shortcut) { return Text::equal(shortcut.id, id); }));
}
