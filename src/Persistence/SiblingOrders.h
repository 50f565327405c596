#pragma once

#include <QHash>
#include <QString>
#include <optional>

// The `order` an item appended to a folder gets: one more than the highest order among its
// siblings, 0 when it has none. Siblings are the items of one kind with the same parent
// folder (none: the top level); parent ids are compared as canonical text.
class SiblingOrders {
public:
    // Counts an item already among the siblings of `parent`.
    void note(const std::optional<QString>& parent, qint64 order);
    // The order for a new item under `parent`; the item counts as a sibling from then on.
    // Next to a sibling at the largest possible order it gets that order too, as there is
    // no higher one.
    qint64 next(const std::optional<QString>& parent);

private:
    // Keyed by canonical parent id; folder ids are never empty, so "" is the top level.
    QHash<QString, qint64> m_highest;
};
