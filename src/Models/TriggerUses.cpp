#include "Models/TriggerUses.h"

#include "Models/LibraryDifference.h"
#include "Utilities/BackgroundRelease.h"
#include "Utilities/Text.h"

void TriggerUses::follow(const QList<Shortcut>& shortcuts)
{
    if (m_seen.isSharedWith(shortcuts))
        return;
    const SharedEnds ends = SharedEnds::of(shortcuts, m_seen);
    const qsizetype removed = m_seen.size() - ends.head - ends.tail;
    const qsizetype added = shortcuts.size() - ends.head - ends.tail;
    // Counting the new list afresh is quicker than taking back most of the old one.
    if (shortcuts.size() < removed + added) {
        m_uses.clear();
        // Grown in steps, the table would be rehashed a dozen times over a large library.
        m_uses.reserve(shortcuts.size());
        m_duplicated = 0;
        for (const Shortcut& s : shortcuts)
            add(s.*m_text);
    } else {
        for (qsizetype i = ends.head; i < ends.head + removed; ++i)
            remove(m_seen.at(i).*m_text);
        for (qsizetype i = ends.head; i < ends.head + added; ++i)
            add(shortcuts.at(i).*m_text);
    }
    BackgroundRelease::replace(m_seen, shortcuts);
    m_counting = true;
}

int TriggerUses::uses(const QString& trigger) const
{
    return m_uses.value(Text::canonical(trigger), 0);
}

void TriggerUses::add(const QString& trigger)
{
    if (++m_uses[Text::canonical(trigger)] == 2)
        ++m_duplicated;
}

void TriggerUses::remove(const QString& trigger)
{
    const auto it = m_uses.find(Text::canonical(trigger));
    if (it == m_uses.end())
        return;
    if (*it == 2)
        --m_duplicated;
    if (--*it == 0)
        m_uses.erase(it);
}
