#include "Models/UserDataEncoder.h"

#include <QByteArrayView>
#include <QHashFunctions>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <optional>
#include <string_view>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The list's place in the written library: a line of its own at the first depth, which no
// text value can imitate, since the coder writes a line break inside text as "\n".
const QByteArray listOpening = QByteArrayLiteral("\n    \"shortcuts\": [");
const QByteArray emptyListRest = QByteArrayLiteral("\n    ]");
// The list's items sit two levels deep.
const QByteArray itemIndent = QByteArrayLiteral("        ");

// The library written without its shortcuts, split where the list's items go: `head` ends
// with the list's opening and `tail` starts with its closing line. Empty parts when the
// coder's output does not have that shape.
struct Frame {
    QByteArray whole;
    QByteArray head;
    QByteArray tail;

    explicit Frame(const UserData& rest)
        : whole(VelmoraJSON::encode(rest))
    {
        const qsizetype list = whole.indexOf(listOpening);
        if (list < 0 || whole.mid(list + listOpening.size(), emptyListRest.size()) != emptyListRest)
            return;
        head = whole.first(list + listOpening.size());
        tail = whole.sliced(head.size());
    }
    bool isValid() const { return !head.isEmpty(); }
};

// Tells a text kept in earlier bytes from whatever else those bytes may hold by now.
size_t hashOf(QByteArrayView text)
{
    return qHashBits(text.data(), size_t(text.size()), 0);
}

// Bytes read a window at a time, so that no more than a window of them is held; what lies
// beyond the window is read when asked for.
class BytesWindow {
public:
    explicit BytesWindow(const UserDataEncoder::Previous& bytes)
        : m_bytes(bytes)
    {
    }

    // The `size` bytes at `offset`; nothing when they cannot be read.
    std::optional<QByteArrayView> at(qsizetype offset, qsizetype size)
    {
        if (!holds(offset, size) && !readFrom(offset, size))
            return std::nullopt;
        return QByteArrayView(m_window).sliced(offset - m_start, size);
    }

    // The bytes from `offset` to the window's end, at least `size` of them.
    std::optional<QByteArrayView> reaching(qsizetype offset, qsizetype size)
    {
        if (!holds(offset, size) && !readFrom(offset, size))
            return std::nullopt;
        return QByteArrayView(m_window).sliced(offset - m_start);
    }

private:
    static constexpr qsizetype windowSize = 256 * 1024;

    bool holds(qsizetype offset, qsizetype size) const
    {
        return m_start >= 0 && offset >= m_start && offset + size <= m_start + m_window.size();
    }
    bool readFrom(qsizetype offset, qsizetype size)
    {
        m_start = -1;
        const qsizetype length = std::min(std::max(size, windowSize), m_bytes.size - offset);
        if (offset < 0 || size < 0 || length < size)
            return false;
        m_window.resize(length);
        if (!m_bytes.read(offset, length, m_window.data()))
            return false;
        m_start = offset;
        return true;
    }

    const UserDataEncoder::Previous& m_bytes;
    QByteArray m_window;
    qsizetype m_start = -1;
};

// A text as Qt's JSON writer writes it, from the UTF-8 that CompactText holds: the short
// escapes, other control characters as \u00XX, every other character as it is, except an
// unpaired surrogate (three bytes ED A0..BF xx), which is written as its escape. A byte-order
// mark right after a quotation mark is written as its escape too, as VelmoraJSON writes it:
// Qt's parser would drop it there.
void appendJsonUtf8(QByteArray& out, QByteArrayView utf8)
{
    static constexpr char hex[] = "0123456789abcdef";
    const qsizetype from = out.size();
    out.resize(from + 2 + utf8.size() * 6);
    char* at = out.data() + from;
    *at++ = '"';
    const auto* in = reinterpret_cast<const uchar*>(utf8.data());
    const uchar* const end = in + utf8.size();
    while (in < end) {
        const uchar c = *in;
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            *at++ = char(*in++);
            continue;
        }
        if (c < 0x80) {
            *at++ = '\\';
            switch (c) {
            case '"': *at++ = '"'; break;
            case '\\': *at++ = '\\'; break;
            case '\b': *at++ = 'b'; break;
            case '\f': *at++ = 'f'; break;
            case '\n': *at++ = 'n'; break;
            case '\r': *at++ = 'r'; break;
            case '\t': *at++ = 't'; break;
            default:
                *at++ = 'u';
                *at++ = '0';
                *at++ = '0';
                *at++ = hex[c >> 4];
                *at++ = hex[c & 0xF];
            }
            ++in;
        } else if (c == 0xED && end - in >= 3 && in[1] >= 0xA0) {
            const unsigned unit = 0xD000u | unsigned(in[1] & 0x3F) << 6 | unsigned(in[2] & 0x3F);
            *at++ = '\\';
            *at++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *at++ = hex[(unit >> shift) & 0xF];
            in += 3;
        } else if (c == 0xEF && end - in >= 3 && in[1] == 0xBB && in[2] == 0xBF && at[-1] == '"') {
            constexpr std::string_view escapedMark = "\\ufeff";
            at = std::copy(escapedMark.begin(), escapedMark.end(), at);
            in += 3;
        } else {
            *at++ = char(*in++);
        }
    }
    *at++ = '"';
    out.truncate(at - out.constData());
}

void appendJsonText(QByteArray& out, const QString& text)
{
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    char16_t seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        seen |= units[i];
    if (seen < 0x80)
        appendJsonUtf8(out, text.toLatin1());
    else
        appendJsonUtf8(out, CompactText(text).utf8());
}

UserData withoutShortcuts(const UserData& data)
{
    UserData rest = data;
    rest.shortcuts.clear();
    return rest;
}

} // namespace

bool UserDataEncoder::readsBackAs(const QByteArray& alone, const Shortcut& shortcut)
{
    // Read by the coder's own parser, and compared text for text: a text that reads back only
    // canonically equivalent, or without a character, would not be what the user saved.
    try {
        return Shortcut::identical(VelmoraJSON::decode<Shortcut>(alone), shortcut);
    } catch (const DecodingError&) {
        return false;
    }
}

QByteArray UserDataEncoder::encodeShortcut(const Shortcut& shortcut, bool* readsBack)
{
    // Written straight from the record, as the coder writes it at the list's depth: keys
    // sorted, one a line. Going through the coder's own objects costs a large library most of
    // its start-up and its saves, above all for texts beyond ASCII, which its writer takes a
    // character at a time.
    QByteArray nested;
    nested.reserve(shortcut.expansion.utf8().size() + shortcut.trigger.size() + shortcut.id.size() + 192);
    nested += "        {\n            \"expansion\": ";
    appendJsonUtf8(nested, shortcut.expansion.utf8());
    if (shortcut.groupId) {
        nested += ",\n            \"groupId\": ";
        appendJsonText(nested, *shortcut.groupId);
    }
    nested += ",\n            \"id\": ";
    appendJsonText(nested, shortcut.id);
    if (shortcut.isExample)
        nested += *shortcut.isExample ? ",\n            \"isExample\": true" : ",\n            \"isExample\": false";
    nested += ",\n            \"order\": ";
    nested += QByteArray::number(shortcut.order);
    nested += ",\n            \"trigger\": ";
    appendJsonText(nested, shortcut.trigger);
    nested += "\n        }";
    if (readsBack)
        *readsBack = readsBackAs(nested, shortcut);
    return nested;
}

UserDataEncoder::~UserDataEncoder()
{
    stopAdopting();
}

void UserDataEncoder::stopAdopting()
{
    m_waiting.reset();
    if (!m_adopting.valid())
        return;
    m_stop->store(true);
    m_adopting.get();
}

void UserDataEncoder::finishAdopting()
{
    startAdopting();
    if (!m_adopting.valid())
        return;
    Known adopted = m_adopting.get();
    if (!adopted.shortcuts.isEmpty())
        m_known = std::move(adopted);
}

UserDataEncoder::Previous UserDataEncoder::inMemory(QByteArray bytes)
{
    auto held = std::make_shared<const QByteArray>(std::move(bytes));
    const qsizetype size = held->size();
    return {size, [held = std::move(held)](qsizetype offset, qsizetype length, char* into) {
                if (offset < 0 || length < 0 || offset + length > held->size())
                    return false;
                std::memcpy(into, held->constData() + offset, size_t(length));
                return true;
            }};
}

void UserDataEncoder::adopt(QByteArray written, const UserData& data)
{
    adopt(inMemory(std::move(written)), {}, data);
}

void UserDataEncoder::adopt(Previous written, std::function<bool()> unchanged, const UserData& data)
{
    adoptLater(std::move(written), std::move(unchanged), data);
    startAdopting();
}

void UserDataEncoder::adoptLater(Previous written, std::function<bool()> unchanged, const UserData& data)
{
    // What an earlier load found is of no use any more; what the last save learnt stays.
    stopAdopting();
    m_waiting = std::make_shared<Held>(Held{std::move(written), std::move(unchanged), data});
}

void UserDataEncoder::startAdopting()
{
    if (!m_waiting)
        return;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    // The task's arguments live as long as its result is unclaimed, which may be until the
    // first save: it empties them itself, so that the bytes and the library as loaded are not
    // kept that long. Copies share the texts; the other threads only read them.
    m_adopting = std::async(std::launch::async, [held = std::exchange(m_waiting, {}), stop = m_stop] {
        const Held mine = std::exchange(*held, Held{});
        Known adopted = adoptTexts(mine.written, mine.data, stop);
        if (mine.unchanged && !mine.unchanged())
            return Known{};
        return adopted;
    });
}

qsizetype UserDataEncoder::Known::placeOf(const Shortcut& shortcut, qsizetype position)
{
    // Most shortcuts are where they were; after an insertion or a removal the rest is found
    // by id. Read through const access: the list is shared with the library's, and a write
    // access would copy it.
    const QList<Shortcut>& seen = std::as_const(shortcuts);
    if (position >= seen.size() || seen[position].id != shortcut.id) {
        if (places.isEmpty()) {
            places.reserve(seen.size());
            for (qsizetype i = 0; i < seen.size(); ++i)
                places.insert(seen[i].id, i);
        }
        position = places.value(shortcut.id, -1);
        if (position < 0)
            return -1;
    }
    return std::as_const(readsBack)[position] && Shortcut::identical(seen[position], shortcut) ? position : -1;
}

UserDataEncoder::Known UserDataEncoder::adoptTexts(
    const Previous& written, const UserData& data, const std::shared_ptr<const std::atomic<bool>>& stop)
{
    const QList<Shortcut>& shortcuts = data.shortcuts;
    const qsizetype count = shortcuts.size();
    const Frame frame(withoutShortcuts(data));
    const QByteArray& tail = frame.tail;
    const qsizetype total = written.size;
    if (!frame.isValid() || count == 0 || !written.read || total < frame.head.size() + tail.size())
        return {};
    {
        BytesWindow ends(written);
        const std::optional<QByteArrayView> head = ends.at(0, frame.head.size());
        if (!head || *head != frame.head)
            return {};
        const std::optional<QByteArrayView> last = ends.at(total - tail.size(), tail.size());
        if (!last || *last != tail)
            return {};
    }
    // Where each item would begin: a line of its own two levels deep, as text values cannot
    // hold a line break. Whether the file really holds the items there is checked below.
    const QByteArray itemStart = '\n' + itemIndent + "{\n";
    QList<qsizetype> starts;
    starts.reserve(count);
    BytesWindow scanned(written);
    for (qsizetype from = frame.head.size(); starts.size() < count;) {
        if (stop->load(std::memory_order_relaxed))
            return {};
        const std::optional<QByteArrayView> seen = scanned.reaching(from, itemStart.size());
        if (!seen)
            return {};
        const qsizetype found = seen->indexOf(itemStart);
        if (starts.isEmpty() && found != 0)
            return {};
        if (found < 0) {
            // A start may lie across the window's end: look again from just before it.
            from += seen->size() - itemStart.size() + 1;
            continue;
        }
        starts.append(from + found + 1);
        from += found + 1;
    }

    // Each item's text must be exactly what encodeShortcut makes, followed by the separator
    // or the list's end.
    QList<Known::Piece> pieces(count);
    Known::Piece* const piece = pieces.data();
    const QByteArray separator = QByteArrayLiteral(",\n");
    const auto matches = [&](qsizetype begin, qsizetype end) {
        BytesWindow window(written);
        for (qsizetype i = begin; i < end; ++i) {
            if (stop->load(std::memory_order_relaxed))
                return false;
            // When every item matches, the file is byte for byte what encode() writes for
            // `data`, and it was read as `data` when it was loaded: each text reads back.
            const QByteArray text = encodeShortcut(shortcuts[i], nullptr);
            const qsizetype after = starts[i] + text.size();
            const QByteArray& follows = i + 1 < count ? separator : tail;
            if ((i + 1 == count && after + follows.size() != total) || (i + 1 < count && starts[i + 1] != after + 2))
                return false;
            const std::optional<QByteArrayView> item = window.at(starts[i], text.size() + follows.size());
            if (!item || item->first(text.size()) != text || item->sliced(text.size()) != follows)
                return false;
            piece[i] = {starts[i], text.size(), hashOf(text)};
        }
        return true;
    };

    // Split over a few threads that give way to the main thread, whose start-up work comes
    // first: this only has to be done by the first save.
    const qsizetype chunks = count < 2000 ? 1 : std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<char> ok(size_t(chunks), 0);
    std::vector<std::thread> threads;
    for (qsizetype c = 0; c < chunks; ++c) {
        const qsizetype begin = count * c / chunks, end = count * (c + 1) / chunks;
        const auto work = [&, c, begin, end] {
            ::setpriority(PRIO_PROCESS, ::gettid(), 19);
            // Taking nothing only makes the first save encode everything itself.
            try {
                ok[size_t(c)] = matches(begin, end);
            } catch (...) {
                ok[size_t(c)] = 0;
            }
        };
        if (c + 1 < chunks)
            threads.emplace_back(work);
        else
            work();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (std::find(ok.begin(), ok.end(), 0) != ok.end())
        return {};

    return Known{shortcuts, QList<bool>(count, true), {}, std::move(pieces), total};
}

VelmoraJSON::Encoded UserDataEncoder::encode(const UserData& data, const Previous& previous)
{
    finishAdopting();
    const UserData rest = withoutShortcuts(data);
    const Frame frame(rest);
    if (!frame.isValid()) {
        m_known.pieces.clear();
        return {VelmoraJSON::encode(data), false};
    }
    bool readsBack = false;
    try {
        readsBack = UserData::identical(VelmoraJSON::decode<UserData>(frame.whole), rest);
    } catch (const DecodingError&) {
    }
    if (data.shortcuts.isEmpty()) {
        // These bytes hold no text to copy later.
        m_known.pieces.clear();
        return {frame.whole, readsBack};
    }

    const QList<Shortcut>& shortcuts = data.shortcuts;
    const qsizetype count = shortcuts.size();
    Known known{shortcuts, {}, {}, {}, 0};
    known.readsBack.reserve(count);
    // The texts of unchanged shortcuts are read from the previous bytes, which is many times
    // quicker than encoding them again, provided those bytes are still there.
    const bool copying = previous.read && previous.size == m_known.total && !m_known.pieces.isEmpty();
    QList<qsizetype> knownPlaces(count, -1);
    for (qsizetype i = 0; i < count; ++i) {
        // Exact, not canonical, equality: a shortcut whose text only changed its Unicode form
        // must be checked again, as its bytes differ.
        const qsizetype place = m_known.placeOf(shortcuts[i], i);
        known.readsBack.append(place >= 0);
        if (copying)
            knownPlaces[i] = place;
    }
    const QList<Known::Piece>& before = std::as_const(m_known.pieces);

    // A large library's records are made on several threads, each its own run of them.
    const qsizetype runs = count < 2000 ? 1 : std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 4);
    const auto inRuns = [&](const auto& work) {
        std::vector<std::future<void>> workers;
        for (qsizetype run = 1; run < runs; ++run)
            workers.push_back(std::async(std::launch::async, work, count * run / runs, count * (run + 1) / runs));
        work(0, count / runs);
        for (std::future<void>& worker : workers)
            worker.get();
    };
    QList<QByteArray> texts(count);
    known.pieces.resize(count);
    Known::Piece* const pieces = known.pieces.data();
    inRuns([&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            if (knownPlaces[i] >= 0) {
                pieces[i] = before[knownPlaces[i]];
                continue;
            }
            texts[i] = encodeShortcut(shortcuts[i], known.readsBack[i] ? nullptr : &known.readsBack[i]);
            pieces[i] = {0, texts[i].size(), hashOf(texts[i])};
        }
    });

    // Where each text goes; the bytes are allocated once.
    qsizetype size = frame.head.size();
    for (qsizetype i = 0; i < count; ++i) {
        size += i == 0 ? 1 : 2;
        readsBack = readsBack && known.readsBack[i];
        pieces[i].offset = size;
        size += pieces[i].size;
    }
    QByteArray bytes(size + frame.tail.size(), Qt::Uninitialized);
    char* const out = bytes.data();
    std::memcpy(out, frame.head.constData(), size_t(frame.head.size()));
    std::memcpy(out + size, frame.tail.constData(), size_t(frame.tail.size()));
    std::atomic<bool> stale = false;
    inRuns([&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to;) {
            out[pieces[i].offset - 1] = '\n';
            if (i > 0)
                out[pieces[i].offset - 2] = ',';
            if (knownPlaces[i] < 0) {
                std::memcpy(out + pieces[i].offset, texts[i].constData(), size_t(texts[i].size()));
                texts[i] = QByteArray();
                ++i;
                continue;
            }
            // Neighbours that were neighbours before are read in one go, with the separators
            // between them (written again below).
            qsizetype last = i;
            while (last + 1 < to && knownPlaces[last + 1] >= 0
                && before[knownPlaces[last + 1]].offset
                    == before[knownPlaces[last]].offset + before[knownPlaces[last]].size + 2)
                ++last;
            const Known::Piece& first = before[knownPlaces[i]];
            const Known::Piece& end = before[knownPlaces[last]];
            if (!previous.read(first.offset, end.offset + end.size - first.offset, out + pieces[i].offset))
                stale = true;
            for (; i <= last; ++i) {
                out[pieces[i].offset - 1] = '\n';
                if (i > 0)
                    out[pieces[i].offset - 2] = ',';
                // Kept only while it is still there: a write that failed or another program
                // may have left other bytes of the same size.
                if (!stale.load(std::memory_order_relaxed)
                    && hashOf(QByteArrayView(out + pieces[i].offset, pieces[i].size)) != pieces[i].hash)
                    stale = true;
            }
        }
    });
    if (stale) {
        m_known.pieces.clear();
        return encode(data);
    }
    known.total = bytes.size();
    m_known = std::move(known);
    return {bytes, readsBack};
}
