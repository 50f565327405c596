#include "Models/UserDataDecoder.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringDecoder>
#include <QUuid>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

namespace {

// The list's place in the written library and where each of its items begins: lines of their
// own at fixed depths, which no text value can imitate, since the coder writes a line break
// inside text as "\n". Other members can (a nested object's own "shortcuts" indented alike),
// so whether the lines found are the library's list is proven by reading the rest.
const QByteArray listOpening = QByteArrayLiteral("\n    \"shortcuts\": [");
const QByteArray listClosing = QByteArrayLiteral("\n    ]");
const QByteArray itemStart = QByteArrayLiteral("\n        {\n");

constexpr qsizetype itemsWorthThreads = 2000;

// Reads one item laid out exactly as the library's encoder writes it, straight from the file's
// bytes: keys sorted, one a line, texts in UTF-8 with JSON's escapes. Anything else (another
// layout, other keys, escapes JSON does not have, control characters, bytes that are not
// UTF-8, numbers in another form) is left to the JSON parser, so what this reads is what the
// parser would.
class ItemReader {
public:
    ItemReader(const char* from, const char* to)
        : m_at(from)
        , m_end(to)
    {
    }

    std::optional<Shortcut> read()
    {
        Shortcut shortcut;
        std::optional<Text> expansion, id, trigger, groupId;
        if (!literal("\n        {\n") || !(expansion = member(expansionKey, ",\n")))
            return std::nullopt;
        if (startsWith(groupIdKey) && !(groupId = member(groupIdKey, ",\n")))
            return std::nullopt;
        if (!(id = member(idKey, ",\n")))
            return std::nullopt;
        if (literal(isExampleKey)) {
            if (literal("true,\n"))
                shortcut.isExample = true;
            else if (literal("false,\n"))
                shortcut.isExample = false;
            else
                return std::nullopt;
        }
        if (!literal(orderKey) || !number(shortcut.order) || !literal(",\n"))
            return std::nullopt;
        if (!(trigger = member(triggerKey, "\n        }")) || m_at != m_end)
            return std::nullopt;
        shortcut.id = id->toString();
        shortcut.trigger = trigger->toString();
        shortcut.expansion = CompactText::fromUtf8(std::move(expansion->utf8));
        if (groupId)
            shortcut.groupId = groupId->toString();
        return shortcut;
    }

private:
    // A text as CompactText holds it: UTF-8, with an unpaired surrogate (which only an escape
    // can give) in the three bytes of its code point.
    struct Text {
        QByteArray utf8;
        bool ascii = true;

        QString toString() const { return ascii ? QString::fromLatin1(utf8) : CompactText::fromUtf8(utf8).toString(); }
    };

    static constexpr std::string_view expansionKey = "            \"expansion\": ";
    static constexpr std::string_view groupIdKey = "            \"groupId\": ";
    static constexpr std::string_view idKey = "            \"id\": ";
    static constexpr std::string_view isExampleKey = "            \"isExample\": ";
    static constexpr std::string_view orderKey = "            \"order\": ";
    static constexpr std::string_view triggerKey = "            \"trigger\": ";

    bool startsWith(std::string_view text) const
    {
        return size_t(m_end - m_at) >= text.size() && std::memcmp(m_at, text.data(), text.size()) == 0;
    }

    bool literal(std::string_view text)
    {
        if (!startsWith(text))
            return false;
        m_at += text.size();
        return true;
    }

    std::optional<Text> member(std::string_view key, std::string_view after)
    {
        if (!literal(key))
            return std::nullopt;
        std::optional<Text> text = string();
        if (!text || !literal(after))
            return std::nullopt;
        return text;
    }

    // A JSON text, unescaped, allocated at its exact size.
    std::optional<Text> string()
    {
        if (m_at == m_end || *m_at != '"')
            return std::nullopt;
        const char* const from = ++m_at;
        qsizetype escapes = 0;
        bool codeEscapes = false;
        bool ascii = true;
        for (; m_at < m_end && *m_at != '"'; ++m_at) {
            const uchar c = uchar(*m_at);
            if (c < 0x20)
                return std::nullopt;
            ascii = ascii && c < 0x80;
            if (c == '\\') {
                if (++m_at == m_end)
                    return std::nullopt;
                if (*m_at == 'u')
                    codeEscapes = true;
                else if (unescaped(*m_at) == 0)
                    return std::nullopt;
                ++escapes;
            }
        }
        if (m_at == m_end)
            return std::nullopt;
        const char* const to = m_at++;
        // The parser refuses what is not UTF-8 (overlong forms, surrogates, truncated
        // sequences), exactly as Qt's own check does; escapes are ASCII and pass it.
        if (!ascii && !QUtf8StringView(from, to).isValidUtf8())
            return std::nullopt;
        if (codeEscapes)
            return withCodeEscapes(from, to);
        Text text{QByteArray(to - from - escapes, Qt::Uninitialized), ascii};
        char* out = text.utf8.data();
        for (const char* in = from; in < to; ++in)
            *out++ = *in == '\\' ? unescaped(*++in) : *in;
        return text;
    }

    // A text with \u escapes, whose code units the parser keeps as they are: an escaped pair
    // of surrogates is one character, an unpaired one stays a character of its own. Rare (the
    // encoder writes them for control characters and unpaired surrogates), so made the plain
    // way, through the UTF-16 text the parser would give.
    static std::optional<Text> withCodeEscapes(const char* from, const char* to)
    {
        QString units;
        units.reserve(to - from);
        // A byte-order mark is a character wherever it stands.
        QStringDecoder decoder(
            QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        for (const char* in = from; in < to;) {
            if (*in != '\\') {
                const char* const run = std::find(in, to, '\\');
                units += decoder.decode(QByteArrayView(in, run));
                in = run;
            } else if (in[1] != 'u') {
                units += QLatin1Char(unescaped(in[1]));
                in += 2;
            } else {
                char16_t unit = 0;
                for (const char* digit = in + 2; digit < in + 6; ++digit) {
                    const int value = hexValue(digit < to ? *digit : 0);
                    if (value < 0)
                        return std::nullopt;
                    unit = char16_t(unit << 4 | value);
                }
                units += QChar(unit);
                in += 6;
            }
        }
        Text text{CompactText(units).utf8(), false};
        text.ascii = CompactText::isAscii(text.utf8);
        return text;
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    static char unescaped(char c)
    {
        switch (c) {
        case '"': return '"';
        case '\\': return '\\';
        case '/': return '/';
        case 'b': return '\b';
        case 'f': return '\f';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        default: return 0;
        }
    }

    // A whole number written plainly, short enough to be exact in every reading of JSON.
    bool number(qint64& value)
    {
        const bool negative = m_at < m_end && *m_at == '-';
        if (negative)
            ++m_at;
        constexpr qsizetype mostDigits = 15;
        const char* const from = m_at;
        value = 0;
        while (m_at < m_end && *m_at >= '0' && *m_at <= '9') {
            if (m_at - from == mostDigits)
                return false;
            value = value * 10 + (*m_at++ - '0');
        }
        const qsizetype digits = m_at - from;
        if (digits == 0 || (*from == '0' && (digits > 1 || negative)))
            return false;
        if (negative)
            value = -value;
        return true;
    }

    const char* m_at;
    const char* m_end;
};

// One item the general way: the JSON parser, then the record's reader. In the file the item
// lies within the library and its list, and the parser's limit on depth counts those levels:
// two lists stand in for them.
std::optional<Shortcut> parseItem(const char* from, const char* to)
{
    QByteArray nested;
    nested.reserve(to - from + 4);
    nested.append("[[").append(from, to - from).append("]]");
    QJsonValue item;
    try {
        item = VelmoraJSON::parse(nested);
    } catch (const DecodingError&) {
        return std::nullopt;
    }
    // Exactly one value within each list: the text is one item, not several.
    const QJsonArray outer = item.toArray();
    const QJsonArray inner = outer.at(0).toArray();
    if (outer.size() != 1 || inner.size() != 1 || !inner.at(0).isObject())
        return std::nullopt;
    item = inner.at(0);
    return JsonReader(item).decode<Shortcut>();
}

// The items that begin at `starts[first]` up to `starts[last]` (exclusive), the last of them
// ending at `to`; items are separated by a comma before the next one begins.
std::optional<QList<Shortcut>> readItems(
    const QByteArray& bytes, const QList<qsizetype>& starts, qsizetype first, qsizetype last, qsizetype to) noexcept
try {
    QList<Shortcut> items;
    items.reserve(last - first);
    // The shortcuts of a folder share the text of its id instead of holding a copy each;
    // the copy just read is let go at once, so its memory serves the next item.
    QHash<QString, QString> folderIds;
    for (qsizetype i = first; i < last; ++i) {
        const qsizetype end = i + 1 < last ? starts[i + 1] - 1 : to;
        if (i + 1 < last && bytes[end] != ',')
            return std::nullopt;
        const char* const from = bytes.constData() + starts[i];
        std::optional<Shortcut> shortcut = ItemReader(from, bytes.constData() + end).read();
        if (!shortcut)
            shortcut = parseItem(from, bytes.constData() + end);
        if (!shortcut)
            return std::nullopt;
        if (shortcut->groupId) {
            const auto known = folderIds.constFind(*shortcut->groupId);
            if (known != folderIds.constEnd())
                shortcut->groupId = *known;
            else
                folderIds.insert(*shortcut->groupId, *shortcut->groupId);
        }
        items.append(std::move(*shortcut));
    }
    return items;
} catch (...) {
    // Any failure only sends the whole file the plain way.
    return std::nullopt;
}

std::optional<UserData> decodeInParts(const QByteArray& bytes)
{
    if (!bytes.startsWith('{'))
        return std::nullopt;
    // One pass over the lines finds the list and its items: a library of tens of megabytes
    // has few of them, and memchr finds their ends far faster than a search for each mark.
    const auto at = [&](qsizetype position, const QByteArray& mark) {
        return position + mark.size() <= bytes.size()
            && std::memcmp(bytes.constData() + position, mark.constData(), size_t(mark.size())) == 0;
    };
    qsizetype opening = -1;
    qsizetype itemsFrom = -1;
    qsizetype itemsTo = -1;
    QList<qsizetype> starts;
    qsizetype nextStart = 0;
    const char* const begin = bytes.constData();
    for (const char* line = static_cast<const char*>(std::memchr(begin, '\n', size_t(bytes.size()))); line;
         line = static_cast<const char*>(std::memchr(line + 1, '\n', size_t(bytes.size() - (line + 1 - begin))))) {
        const qsizetype position = line - begin;
        if (at(position, listOpening)) {
            // The list is taken to be the only one of its name.
            if (opening >= 0)
                return std::nullopt;
            opening = position;
            itemsFrom = opening + listOpening.size();
            continue;
        }
        if (opening < 0 || itemsTo >= 0 || position < itemsFrom)
            continue;
        if (at(position, listClosing)) {
            itemsTo = position;
        } else if (position >= nextStart && at(position, itemStart)) {
            starts.append(position);
            nextStart = position + itemStart.size();
        }
    }
    if (opening < 0 || itemsTo < 0)
        return std::nullopt;

    // Where the items begin, split into runs of about equal count for the threads.
    if (starts.isEmpty() || starts.first() != itemsFrom)
        return std::nullopt;
    const qsizetype parts
        = starts.size() < itemsWorthThreads ? 1 : std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 6);
    // The first item of each run; every run but the last ends with the comma before the next
    // run's first item.
    const auto firstOf = [&](qsizetype p) { return starts.size() * p / parts; };
    const auto runEnd = [&](qsizetype p) { return p + 1 < parts ? starts[firstOf(p + 1)] - 1 : itemsTo; };
    for (qsizetype p = 0; p + 1 < parts; ++p) {
        if (bytes[runEnd(p)] != ',')
            return std::nullopt;
    }
    const auto readRun = [&](qsizetype p) { return readItems(bytes, starts, firstOf(p), firstOf(p + 1), runEnd(p)); };

    std::vector<std::optional<QList<Shortcut>>> runs(static_cast<size_t>(parts));
    std::vector<std::thread> threads;
    for (qsizetype p = 1; p < parts; ++p)
        threads.emplace_back([&, p] { runs[size_t(p)] = readRun(p); });
    runs[0] = readRun(0);

    // The rest of the library, with a text no file can foresee in the items' place. The list
    // found is the one the parser keeps only when that text comes out as the whole of the
    // top-level "shortcuts": not a member of some nested object, and not followed by another
    // "shortcuts" member, which the parser would keep instead.
    const QString mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QByteArray frame;
    frame.reserve(itemsFrom + mark.size() + 2 + bytes.size() - itemsTo);
    frame.append(bytes.constData(), itemsFrom)
        .append('"')
        .append(mark.toLatin1())
        .append('"')
        .append(bytes.constData() + itemsTo, bytes.size() - itemsTo);
    std::optional<UserData> data;
    try {
        QJsonObject rest = VelmoraJSON::parse(frame).toObject();
        const QString shortcutsKey = QStringLiteral("shortcuts");
        if (rest.value(shortcutsKey) == QJsonArray{mark}) {
            rest.insert(shortcutsKey, QJsonArray());
            // Read as the whole file would be; its rules hold for it alone whenever they hold
            // for the whole, and are checked again once the shortcuts are in.
            data = JsonReader(rest).decode<UserData>();
        }
    } catch (const DecodingError&) {
        data.reset();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (!data || std::any_of(runs.begin(), runs.end(), [](const auto& run) { return !run; }))
        return std::nullopt;
    qsizetype count = 0;
    for (const auto& run : runs)
        count += run->size();
    data->shortcuts.reserve(count);
    for (auto& run : runs)
        data->shortcuts.append(std::move(*run));
    return data;
}

} // namespace

UserData UserDataDecoder::decode(const QByteArray& bytes)
{
    if (std::optional<UserData> data = decodeInParts(bytes)) {
        // A library that breaks a rule is read the plain way, for the plain way's error.
        try {
            data->validate();
            return std::move(*data);
        } catch (const DecodingError&) {
        }
    }
    return VelmoraJSON::decode<UserData>(bytes);
}
