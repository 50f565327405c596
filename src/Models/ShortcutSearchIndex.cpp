#include "Models/ShortcutSearchIndex.h"

#include <QHash>
#include <string_view>
#include <utility>

namespace {

bool sameText(const QString& a, const QString& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

bool contains(const QByteArray& haystack, const QByteArray& needle)
{
    return std::string_view(haystack.constData(), size_t(haystack.size()))
               .find(std::string_view(needle.constData(), size_t(needle.size())))
        != std::string_view::npos;
}

// Most texts are plain ASCII, which lowers byte by byte far faster than the general case.
QByteArray loweredUtf8(const QString& text)
{
    QByteArray result(text.size(), Qt::Uninitialized);
    const ushort* source = text.utf16();
    char* target = result.data();
    ushort seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const ushort c = source[i];
        seen |= c;
        target[i] = char(c + (ushort(c - u'A') < 26 ? 32 : 0));
    }
    return seen < 0x80 ? result : text.toLower().toUtf8();
}

// About as many as the keys of a search typed and corrected.
constexpr qsizetype recentQueries = 32;

} // namespace

ShortcutSearchIndex::~ShortcutSearchIndex()
{
    if (m_prepared.valid())
        m_prepared.wait();
}

QList<ShortcutSearchIndex::Entry> ShortcutSearchIndex::entriesFor(const QList<Shortcut>& shortcuts)
{
    QList<Entry> entries;
    entries.reserve(shortcuts.size());
    for (const Shortcut& shortcut : shortcuts)
        entries.append(
            {shortcut.trigger, shortcut.expansion, loweredUtf8(shortcut.trigger), loweredUtf8(shortcut.expansion)});
    return entries;
}

void ShortcutSearchIndex::prepare(const QList<Shortcut>& shortcuts)
{
    if (!m_source.isEmpty() || m_prepared.valid())
        return;
    // The worker reads its own copy; copies share the texts without sharing any writes.
    m_preparedSource = shortcuts;
    m_prepared = std::async(std::launch::async, [shortcuts] { return entriesFor(shortcuts); });
}

void ShortcutSearchIndex::update(const QList<Shortcut>& shortcuts)
{
    if (m_prepared.valid()) {
        m_entries = m_prepared.get();
        m_source = std::exchange(m_preparedSource, {});
    }
    if (m_source.isSharedWith(shortcuts))
        return;
    // Entries usually stay where they were; a shortcut that moved is found by its id.
    QHash<QString, qsizetype> previousPlace;
    bool placesKnown = false;
    QList<Entry> entries;
    entries.reserve(shortcuts.size());
    for (qsizetype i = 0; i < shortcuts.size(); ++i) {
        const Shortcut& shortcut = shortcuts[i];
        qsizetype place = i < m_source.size() && m_source[i].id == shortcut.id ? i : -1;
        if (place < 0 && !m_source.isEmpty()) {
            if (!placesKnown) {
                previousPlace.reserve(m_source.size());
                for (qsizetype j = 0; j < m_source.size(); ++j)
                    previousPlace.insert(m_source[j].id, j);
                placesKnown = true;
            }
            place = previousPlace.value(shortcut.id, -1);
        }
        if (place >= 0) {
            const Entry& old = m_entries[place];
            if (sameText(old.trigger, shortcut.trigger) && sameText(old.expansion, shortcut.expansion)) {
                entries.append(old);
                continue;
            }
        }
        entries.append(
            {shortcut.trigger, shortcut.expansion, loweredUtf8(shortcut.trigger), loweredUtf8(shortcut.expansion)});
    }
    m_source = shortcuts;
    m_entries = std::move(entries);
    m_recent.clear();
}

bool ShortcutSearchIndex::matches(qsizetype position, const QByteArray& needle) const
{
    const Entry& entry = m_entries[position];
    return contains(entry.loweredTrigger, needle) || contains(entry.loweredExpansion, needle);
}

QList<qsizetype> ShortcutSearchIndex::matching(const QList<Shortcut>& shortcuts, const QString& loweredQuery)
{
    update(shortcuts);
    QList<qsizetype> result;
    if (loweredQuery.isEmpty()) {
        result.reserve(shortcuts.size());
        for (qsizetype i = 0; i < shortcuts.size(); ++i)
            result.append(i);
        return result;
    }
    if (const auto known = m_recent.constFind(loweredQuery); known != m_recent.constEnd())
        return *known;
    const QList<qsizetype>* narrowed = nullptr;
    qsizetype narrowedLength = 0;
    for (auto recent = m_recent.cbegin(); recent != m_recent.cend(); ++recent) {
        if (recent.key().size() > narrowedLength && loweredQuery.startsWith(recent.key())) {
            narrowed = &recent.value();
            narrowedLength = recent.key().size();
        }
    }
    const QByteArray needle = loweredQuery.toUtf8();
    if (narrowed) {
        for (const qsizetype i : *narrowed) {
            if (matches(i, needle))
                result.append(i);
        }
    } else {
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            if (matches(i, needle))
                result.append(i);
        }
    }
    if (m_recent.size() >= recentQueries)
        m_recent.clear();
    m_recent.insert(loweredQuery, result);
    return result;
}
