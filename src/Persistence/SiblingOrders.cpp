#include "Persistence/SiblingOrders.h"

#include "Utilities/Text.h"

#include <limits>

namespace {
QString parentKey(const std::optional<QString>& parent)
{
    return parent ? Text::canonical(*parent) : QString();
}
} // namespace

void SiblingOrders::note(const std::optional<QString>& parent, qint64 order)
{
    const QString key = parentKey(parent);
    const auto it = m_highest.find(key);
    if (it == m_highest.end())
        m_highest.insert(key, order);
    else if (order > *it)
        *it = order;
}

qint64 SiblingOrders::next(const std::optional<QString>& parent)
{
    const QString key = parentKey(parent);
    const auto it = m_highest.find(key);
    if (it == m_highest.end()) {
        m_highest.insert(key, 0);
        return 0;
    }
    if (*it < std::numeric_limits<qint64>::max())
        ++*it;
    return *it;
}
