#include "Models/ShortcutSearchIndex.h"

#include <QHash>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

namespace {

bool sameText(const QString& a, const QString& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

// Most texts are plain ASCII: those are matched where they are, with their letters lowered as
// they are compared, and keep no lowered copy (which, for a large library, would be as large
// as its text). The rest keep one, lowered by the general rule, in UTF-8 (a match of UTF-8
// bytes is a match of characters).
QByteArray loweredUnlessAscii(const QString& text)
{
    const char16_t* source = reinterpret_cast<const char16_t*>(text.utf16());
    char16_t seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        seen |= source[i];
    return seen < 0x80 ? QByteArray() : text.toLower().toUtf8();
}

// A library text lowers in place unless it holds one of the few characters whose lower case
// takes another number of bytes: most texts in any script are then matched where they are,
// lowered as they are compared, and keep no copy (which at start costs a pass that writes a
// library's worth of text, and as much memory).
QByteArray loweredUnlessInPlace(const CompactText& text)
{
    return text.lowersInPlace() ? QByteArray() : text.loweredUtf8();
}

template <class Unit> Unit lowerAscii(Unit c)
{
    return Unit(c + (Unit(c - Unit('A')) < 26 ? 32 : 0));
}

// Where ASCII `text`, lowered, first contains `needle` (lowered ASCII) from `from` on, or -1.
// The text is UTF-16 or UTF-8, which in ASCII are the same characters.
template <class Unit>
qsizetype findLowered(const Unit* source, qsizetype size, const QByteArray& needle, qsizetype from)
{
    const qsizetype m = needle.size();
    const qsizetype last = size - m;
    const char* wanted = needle.constData();
    const Unit first = Unit(wanted[0]);
    // In ASCII text only the capital of a small letter lowers to it.
    const Unit capital = Unit(first - Unit('a')) < 26 ? Unit(first - 32) : first;
    for (qsizetype i = from; i <= last; ++i) {
        const Unit c = source[i];
        if (c != first && c != capital)
            continue;
        qsizetype j = 1;
        while (j < m && lowerAscii(source[i + j]) == Unit(wanted[j]))
            ++j;
        if (j == m)
            return i;
    }
    return -1;
}

qsizetype findLowered(const QString& text, const QByteArray& needle, qsizetype from)
{
    return findLowered(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), needle, from);
}

// The same for ASCII bytes, the bulk of a large library's text: eight bytes at a time are
// checked for a place where the needle's first two letters (either case) follow each other
// before any byte is looked at alone. (A common first letter alone, such as the "i" of
// "inv", would stop the look at most words.)
qsizetype findLowered(const uchar* source, qsizetype size, const QByteArray& needle, qsizetype from)
{
    const qsizetype m = needle.size();
    const qsizetype last = size - m;
    const uchar first = uchar(needle[0]);
    // For a small letter, setting the case bit of a byte makes it equal to the letter exactly
    // when the byte is the letter or its capital; anything else is looked for as it is.
    const auto caseBitOf = [](uchar letter) { return uchar(uchar(letter - 'a') < 26 ? 0x20 : 0); };
    const uchar caseBit = caseBitOf(first);
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highs = 0x8080808080808080ULL;
    // The high bit of every byte equal to `letter` after `caseBits`; some bytes above one
    // that is may be marked as well, never one below.
    const auto equalBytes = [&](quint64 word, quint64 caseBits, quint64 letter) {
        const quint64 differences = (word | caseBits) ^ letter;
        return (differences - ones) & ~differences & highs;
    };
    const bool pairs = m >= 2;
    const uchar second = pairs ? uchar(needle[1]) : 0;
    for (qsizetype i = from; i <= last;) {
        if (i + 8 <= last + 1) {
            quint64 word;
            std::memcpy(&word, source + i, sizeof word);
            quint64 starts = equalBytes(word, ones * caseBit, ones * first);
            // The bytes after those eight's are in the text: the needle is at least two long.
            if (starts != 0 && pairs) {
                std::memcpy(&word, source + i + 1, sizeof word);
                starts &= equalBytes(word, ones * caseBitOf(second), ones * second);
            }
            // None of the eight begins a match.
            if (starts == 0) {
                i += 8;
                continue;
            }
        }
        if (uchar(source[i] | caseBit) == first) {
            qsizetype j = 1;
            while (j < m && lowerAscii(source[i + j]) == uchar(needle[j]))
                ++j;
            if (j == m)
                return i;
        }
        ++i;
    }
    return -1;
}

qsizetype findLowered(const CompactText& text, const QByteArray& needle, qsizetype from)
{
    return findLowered(reinterpret_cast<const uchar*>(text.utf8().constData()), text.utf8().size(), needle, from);
}

// About as many as the keys of a search typed and corrected.
constexpr qsizetype recentQueries = 32;

// Shortcuts looked through by one thread at a time.
constexpr qsizetype sliceSize = 2048;
// How many shortcuts ahead their texts are fetched into the cache.
constexpr qsizetype prefetchDistance = 4;

void prefetch(const void* address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address);
#endif
}

// A search's shortcuts, cut into slices that threads take in turn. `work` is only called
// for a slice taken, which the searching thread waits for, so it may refer to that
// thread's own variables.
struct Slices {
    std::atomic<qsizetype> next = 0;
    qsizetype count = 0;
    std::function<void(qsizetype slice)> work;
    std::mutex mutex;
    std::condition_variable allFinished;
    qsizetype finished = 0;
};

void takeSlices(Slices& slices)
{
    for (qsizetype slice = slices.next++; slice < slices.count; slice = slices.next++) {
        slices.work(slice);
        const std::lock_guard lock(slices.mutex);
        if (++slices.finished == slices.count)
            slices.allFinished.notify_all();
    }
}

} // namespace

ShortcutSearchIndex::~ShortcutSearchIndex()
{
    if (m_prepared.valid())
        m_prepared.wait();
}

ShortcutSearchIndex::Entry ShortcutSearchIndex::entryFor(const Shortcut& shortcut)
{
    const bool ascii = shortcut.expansion.isAscii();
    return {shortcut.id, shortcut.trigger, shortcut.expansion, loweredUnlessAscii(shortcut.trigger),
        ascii ? QByteArray() : loweredUnlessInPlace(shortcut.expansion), ascii};
}

QList<ShortcutSearchIndex::Entry> ShortcutSearchIndex::entriesFor(const QList<Shortcut>& shortcuts)
{
    QList<Entry> entries;
    entries.reserve(shortcuts.size());
    for (const Shortcut& shortcut : shortcuts)
        entries.append(entryFor(shortcut));
    return entries;
}

void ShortcutSearchIndex::prepare(const QList<Shortcut>& shortcuts)
{
    if (!m_entries.isEmpty() || m_prepared.valid())
        return;
    // The worker reads its own copy; copies share the texts without sharing any writes.
    m_preparedSource = shortcuts;
    m_prepared = std::async(std::launch::async, [shortcuts] { return entriesFor(shortcuts); });
}

bool ShortcutSearchIndex::holds(const Entry& entry, const Shortcut& shortcut)
{
    return sameText(entry.trigger, shortcut.trigger) && entry.expansion.isSharedWith(shortcut.expansion);
}

void ShortcutSearchIndex::update(const QList<Shortcut>& shortcuts)
{
    if (m_prepared.valid()) {
        m_entries = m_prepared.get();
        m_source = std::exchange(m_preparedSource, {});
    }
    // (Lists that are both empty count as shared.)
    if (m_source.isSharedWith(shortcuts) && m_entries.size() == shortcuts.size())
        return;
    m_source = shortcuts;
    const QList<Entry>& entries = m_entries;
    // An edit changes a few shortcuts in one place: the entries before and after it still hold
    // their shortcuts' texts, which is told by where the texts lie, without reading them (a
    // large library's texts lie all over memory), and only the entries between are made again.
    const qsizetype before = m_entries.size();
    const qsizetype after = shortcuts.size();
    qsizetype head = 0;
    while (head < before && head < after && holds(entries[head], shortcuts[head]))
        ++head;
    qsizetype tail = 0;
    while (
        tail < before - head && tail < after - head && holds(entries[before - 1 - tail], shortcuts[after - 1 - tail]))
        ++tail;
    const qsizetype removed = before - head - tail;
    const qsizetype added = after - head - tail;
    // Same texts at the same places: the same matches.
    if (removed == 0 && added == 0)
        return;
    // Between them, a shortcut that moved is found by its id among the entries replaced.
    QHash<QString, qsizetype> previousPlace;
    bool placesKnown = false;
    QList<Entry> between;
    between.reserve(added);
    for (qsizetype i = head; i < head + added; ++i) {
        const Shortcut& shortcut = shortcuts[i];
        qsizetype place = i < head + removed && entries[i].id == shortcut.id ? i : -1;
        if (place < 0 && removed > 0) {
            if (!placesKnown) {
                previousPlace.reserve(removed);
                for (qsizetype j = head; j < head + removed; ++j)
                    previousPlace.insert(entries[j].id, j);
                placesKnown = true;
            }
            place = previousPlace.value(shortcut.id, -1);
        }
        between.append(place >= 0 && holds(entries[place], shortcut) ? entries[place] : entryFor(shortcut));
    }
    const qsizetype replaced = std::min(removed, added);
    std::move(between.begin(), between.begin() + replaced, m_entries.begin() + head);
    if (removed > added)
        m_entries.remove(head + replaced, removed - added);
    else if (added > removed)
        m_entries.insert(head + replaced, added - removed, Entry{});
    std::move(between.begin() + replaced, between.end(), m_entries.begin() + head + replaced);
    m_recent.clear();
}

void ShortcutSearchIndex::forgetSource()
{
    m_source = {};
    m_preparedSource = {};
}

qint32 ShortcutSearchIndex::find(qsizetype position, const QByteArray& needle, bool asciiNeedle, qint32 after) const
{
    const Entry& entry = m_entries[position];
    // A lowered ASCII text holds only ASCII, so it cannot contain any other character.
    const auto findInText = [&](const auto& text, const QByteArray& lowered, qsizetype from) -> qsizetype {
        // A lowered text holds no capital, so lowering it again while comparing changes
        // nothing, and the look that passes over eight bytes at a time serves it too.
        if (!lowered.isNull())
            return findLowered(reinterpret_cast<const uchar*>(lowered.constData()), lowered.size(), needle, from);
        return asciiNeedle ? findLowered(text, needle, from) : -1;
    };
    // Found in the text, the shorter query was not in the trigger: neither is this one.
    if (after % 2 == 0) {
        if (const qsizetype place = findInText(entry.trigger, entry.loweredTrigger, after / 2); place >= 0)
            return qint32(2 * place);
    }
    const qsizetype from = after % 2 == 0 ? 0 : after / 2;
    // Lowering keeps ASCII and the rest of a text that lowers in place apart, so an ASCII
    // query is found in it by the look for ASCII text; another needs its characters lowered.
    const qsizetype place = entry.loweredExpansion.isNull() && !asciiNeedle && !entry.asciiExpansion
        ? entry.expansion.indexOfLowered(needle, from)
        : findInText(entry.expansion, entry.loweredExpansion, from);
    return place >= 0 ? qint32(2 * place + 1) : -1;
}

QList<qsizetype> ShortcutSearchIndex::matching(const QList<Shortcut>& shortcuts, const QString& loweredQuery)
{
    update(shortcuts);
    if (loweredQuery.isEmpty()) {
        QList<qsizetype> result;
        result.reserve(shortcuts.size());
        for (qsizetype i = 0; i < shortcuts.size(); ++i)
            result.append(i);
        return result;
    }
    if (const auto known = m_recent.constFind(loweredQuery); known != m_recent.constEnd())
        return known->positions;
    const QString* narrowedQuery = nullptr;
    const Found* narrowed = nullptr;
    for (auto recent = m_recent.cbegin(); recent != m_recent.cend(); ++recent) {
        if ((!narrowedQuery || recent.key().size() > narrowedQuery->size()) && loweredQuery.startsWith(recent.key())) {
            narrowedQuery = &recent.key();
            narrowed = &recent.value();
        }
    }
    const QByteArray needle = loweredQuery.toUtf8();
    const bool asciiNeedle = CompactText::isAscii(needle);
    // The places found for the shorter query hold for this one only if its bytes begin this
    // one's (a query cut inside a character does not).
    const bool placesHold = narrowed && needle.startsWith(narrowedQuery->toUtf8());
    const qsizetype candidates = narrowed ? narrowed->positions.size() : m_entries.size();
    const qsizetype sliceCount = (candidates + sliceSize - 1) / sliceSize;
    std::vector<Found> found(static_cast<size_t>(sliceCount));
    const auto slices = std::make_shared<Slices>();
    slices->count = sliceCount;
    slices->work = [&](qsizetype slice) {
        Found& matched = found[size_t(slice)];
        const auto at = [&](qsizetype k) { return narrowed ? narrowed->positions.at(k) : k; };
        const auto after = [&](qsizetype k) { return placesHold ? narrowed->places.at(k) : 0; };
        for (qsizetype k = slice * sliceSize, end = std::min(k + sliceSize, candidates); k < end; ++k) {
            // Each shortcut's texts lie elsewhere in memory: the place to look at in a later
            // one is asked for while this one is looked through, so that the wait for it
            // overlaps.
            if (k + prefetchDistance < end) {
                const Entry& ahead = m_entries[at(k + prefetchDistance)];
                const qint32 place = after(k + prefetchDistance);
                if (place % 2 == 0)
                    prefetch(ahead.trigger.constData());
                const QByteArray& text
                    = ahead.loweredExpansion.isNull() ? ahead.expansion.utf8() : ahead.loweredExpansion;
                prefetch(text.constData() + std::min<qsizetype>(place % 2 == 0 ? 0 : place / 2, text.size()));
            }
            const qsizetype i = at(k);
            if (const qint32 place = find(i, needle, asciiNeedle, after(k)); place >= 0) {
                matched.positions.append(i);
                matched.places.append(place);
            }
        }
    };
    // A large library's texts are looked through on a few threads a slice at a time, the
    // calling thread taking slices as well. It waits only for slices another thread has
    // begun: on a busy machine a helper that has not been given a processor yet costs it
    // nothing, and finds no slice left once it runs.
    if (candidates >= 4000) {
        static QThreadPool helpers;
        helpers.setMaxThreadCount(int(std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 4)) - 1);
        for (int helper = 0; helper < helpers.maxThreadCount(); ++helper)
            helpers.start([slices] { takeSlices(*slices); });
    }
    takeSlices(*slices);
    {
        std::unique_lock lock(slices->mutex);
        slices->allFinished.wait(lock, [&] { return slices->finished == slices->count; });
    }
    const qsizetype total = std::accumulate(found.cbegin(), found.cend(), qsizetype(0),
        [](qsizetype sum, const Found& matched) { return sum + matched.positions.size(); });
    Found all;
    all.positions.reserve(total);
    all.places.reserve(total);
    for (const Found& matched : found) {
        all.positions.append(matched.positions);
        all.places.append(matched.places);
    }
    if (m_recent.size() >= recentQueries)
        m_recent.clear();
    m_recent.insert(loweredQuery, all);
    return all.positions;
}
