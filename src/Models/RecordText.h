#pragma once

#include "Utilities/CompactText.h"
#include "Utilities/Text.h"

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <algorithm>
#include <optional>
#include <vector>

// Equality and hashing of the text fields of library records. Text is compared under
// canonical equivalence, and an optional hashes a presence marker before its value, so that
// an absent value and any present one (even the empty text) compare and hash apart.
namespace RecordText {

inline bool equal(const QString& a, const QString& b)
{
    return Text::equal(a, b);
}

inline bool equal(const std::optional<QString>& a, const std::optional<QString>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || Text::equal(*a, *b);
}

inline size_t hash(size_t seed, const QString& text)
{
    return qHashMulti(seed, Text::hash(text));
}

// Texts in plain ASCII are their own canonical form, but a text with other characters may
// still be equivalent to one in ASCII (the Kelvin sign is a K).
inline bool equal(const CompactText& a, const CompactText& b)
{
    if (a.isSharedWith(b) || a == b)
        return true;
    if (a.isAscii() && b.isAscii())
        return false;
    return Text::canonical(a.toString()) == Text::canonical(b.toString());
}

inline size_t hash(size_t seed, const CompactText& text)
{
    if (text.isAscii())
        return qHashMulti(seed, text.utf8());
    return qHashMulti(seed, Text::canonical(text.toString()).toUtf8());
}

inline size_t hash(size_t seed, const std::optional<QString>& text)
{
    seed = qHashMulti(seed, text.has_value());
    return text ? hash(seed, *text) : seed;
}

template <class T> size_t hash(size_t seed, const std::optional<T>& value)
{
    seed = qHashMulti(seed, value.has_value());
    return value ? qHashMulti(seed, *value) : seed;
}

// A copy of `items` sorted by id in ascending order of the ids' canonical text. Stable:
// items with equal ids keep their relative order.
template <class T> QList<T> sortedById(const QList<T>& items)
{
    std::vector<std::pair<QString, qsizetype>> keys;
    keys.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        keys.emplace_back(Text::canonical(items[i].id), i);
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys)
        sorted.append(items[key.second]);
    return sorted;
}

} // namespace RecordText
