#pragma once

#include "Models/UserData.h"

#include <QList>

// The lengths of the runs at the start (`head`) and at the end (`tail`) in which two lists
// of shortcuts hold identical records; they never overlap. What lies between is where the
// lists differ.
struct SharedEnds {
    qsizetype head = 0;
    qsizetype tail = 0;

    static SharedEnds of(const QList<Shortcut>& a, const QList<Shortcut>& b);
};

// A library kept as its difference from another one, for a history of edits that costs
// memory in proportion to what each edit changed, not to the library. Folders, icons and
// deletion markers are kept whole: they share their data with the other library while
// they are unchanged. Of the shortcuts only the run that differs is kept.
class LibraryDifference {
public:
    LibraryDifference() = default;
    // `library` described against `other`.
    LibraryDifference(const UserData& library, const UserData& other);

    // The library, given the `other` it was described against (or a library with exactly
    // the same shortcuts).
    UserData applyTo(const UserData& other) const;

private:
    UserData m_rest; // without its shortcuts
    qsizetype m_head = 0;
    qsizetype m_tail = 0;
    QList<Shortcut> m_middle;
};
