#include "Models/LibraryDifference.h"

#include <algorithm>

SharedEnds SharedEnds::of(const QList<Shortcut>& a, const QList<Shortcut>& b)
{
    SharedEnds ends;
    if (a.isSharedWith(b)) {
        ends.head = a.size();
        return ends;
    }
    const qsizetype shorter = std::min(a.size(), b.size());
    while (ends.head < shorter && Shortcut::identical(a[ends.head], b[ends.head]))
        ++ends.head;
    while (ends.tail < shorter - ends.head
        && Shortcut::identical(a[a.size() - 1 - ends.tail], b[b.size() - 1 - ends.tail]))
        ++ends.tail;
    return ends;
}

LibraryDifference::LibraryDifference(const UserData& library, const UserData& other)
    : m_rest(library)
{
    m_rest.shortcuts = {};
    const SharedEnds ends = SharedEnds::of(library.shortcuts, other.shortcuts);
    m_head = ends.head;
    m_tail = ends.tail;
    // A whole list is kept shared, not copied.
    m_middle = library.shortcuts.mid(m_head, library.shortcuts.size() - m_head - m_tail);
}

UserData LibraryDifference::applyTo(const UserData& other) const
{
    UserData library = m_rest;
    if (m_head == 0 && m_tail == 0) {
        library.shortcuts = m_middle;
        return library;
    }
    library.shortcuts.reserve(m_head + m_middle.size() + m_tail);
    library.shortcuts.append(other.shortcuts.first(m_head));
    library.shortcuts.append(m_middle);
    library.shortcuts.append(other.shortcuts.last(m_tail));
    return library;
}
