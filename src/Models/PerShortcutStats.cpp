#include "Models/PerShortcutStats.h"

#include <QHashFunctions>
#include <algorithm>
#include <utility>
#include <vector>

PerShortcutStats::PerShortcutStats(const QMap<QString, PerShortcutStat>& byId)
{
    for (auto it = byId.cbegin(); it != byId.cend(); ++it)
        insert(it.key(), it.value());
}

qsizetype PerShortcutStats::partOf(const QString& id)
{
    // A seed of its own, not the process's: where an entry lies is the same in every run.
    return qsizetype(qHash(id, size_t(0)) % size_t(partCount));
}

const PerShortcutStats::Part* PerShortcutStats::partFor(const QString& id) const
{
    return m_parts.isEmpty() ? nullptr : &m_parts.at(partOf(id));
}

PerShortcutStats::Part& PerShortcutStats::writablePartFor(const QString& id)
{
    if (m_parts.isEmpty())
        m_parts.resize(partCount);
    return m_parts[partOf(id)];
}

bool PerShortcutStats::contains(const QString& id) const
{
    const Part* part = partFor(id);
    return part && part->contains(id);
}

PerShortcutStat PerShortcutStats::value(const QString& id) const
{
    const Part* part = partFor(id);
    return part ? part->value(id) : PerShortcutStat{};
}

PerShortcutStat* PerShortcutStats::find(const QString& id)
{
    if (!contains(id))
        return nullptr;
    return &writablePartFor(id)[id];
}

void PerShortcutStats::insert(const QString& id, const PerShortcutStat& stat)
{
    Part& part = writablePartFor(id);
    const qsizetype before = part.size();
    part.insert(id, stat);
    m_size += part.size() - before;
}

PerShortcutStat& PerShortcutStats::operator[](const QString& id)
{
    Part& part = writablePartFor(id);
    const qsizetype before = part.size();
    PerShortcutStat& stat = part[id];
    m_size += part.size() - before;
    return stat;
}

QStringList PerShortcutStats::keys() const
{
    QStringList ids;
    ids.reserve(m_size);
    for (const Part& part : m_parts) {
        for (auto it = part.keyBegin(); it != part.keyEnd(); ++it)
            ids.append(*it);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

QMap<QString, PerShortcutStat> PerShortcutStats::toMap() const
{
    std::vector<Part::const_iterator> entries;
    entries.reserve(size_t(m_size));
    for (const Part& part : m_parts) {
        for (auto it = part.cbegin(); it != part.cend(); ++it)
            entries.push_back(it);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.key() < b.key(); });
    QMap<QString, PerShortcutStat> byId;
    // In ascending order, each entry goes in at the end.
    for (const auto& entry : entries)
        byId.insert(byId.cend(), entry.key(), entry.value());
    return byId;
}
