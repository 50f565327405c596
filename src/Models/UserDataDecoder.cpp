#include "Models/UserDataDecoder.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

namespace {

// The list's place in the written library and where each of its items begins: lines of their
// own at fixed depths, which no text value can imitate, since the coder writes a line break
// inside text as "\n".
const QByteArray listOpening = QByteArrayLiteral("\n    \"shortcuts\": [");
const QByteArray listClosing = QByteArrayLiteral("\n    ]");
const QByteArray itemStart = QByteArrayLiteral("\n        {\n");

constexpr qsizetype itemsWorthThreads = 2000;

std::optional<QList<Shortcut>> readItems(const QByteArray& bytes, qsizetype from, qsizetype to) noexcept
try {
    QByteArray list;
    list.reserve(to - from + 2);
    list.append('[').append(bytes.constData() + from, to - from).append(']');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(list, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    // Any failure only sends the whole file the plain way.
    try {
        const QJsonArray array = document.array();
        const JsonReader reader{QJsonValue(array)};
        QList<Shortcut> items;
        items.reserve(array.size());
        // The shortcuts of a folder share the text of its id instead of holding a copy each;
        // the copy just read is let go at once, so its memory serves the next item.
        QHash<QString, QString> folderIds;
        for (qsizetype i = 0; i < array.size(); ++i) {
            Shortcut shortcut = reader.at(i).decode<Shortcut>();
            if (shortcut.groupId) {
                const auto known = folderIds.constFind(*shortcut.groupId);
                if (known != folderIds.constEnd())
                    shortcut.groupId = *known;
                else
                    folderIds.insert(*shortcut.groupId, *shortcut.groupId);
            }
            items.append(std::move(shortcut));
        }
        return items;
    } catch (...) {
        return std::nullopt;
    }
} catch (...) {
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
    if (starts.size() < itemsWorthThreads || starts.first() != itemsFrom)
        return std::nullopt;
    const qsizetype parts = std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 6);
    QList<qsizetype> cuts;
    for (qsizetype p = 0; p < parts; ++p)
        cuts.append(starts[starts.size() * p / parts]);
    cuts.append(itemsTo);
    // Every run but the last ends with the comma before the next run's first item.
    const auto runEnd = [&](qsizetype p) { return p + 1 < parts ? cuts[p + 1] - 1 : itemsTo; };
    for (qsizetype p = 0; p + 1 < parts; ++p) {
        if (bytes[runEnd(p)] != ',')
            return std::nullopt;
    }

    std::vector<std::optional<QList<Shortcut>>> runs(static_cast<size_t>(parts));
    std::vector<std::thread> threads;
    for (qsizetype p = 1; p < parts; ++p)
        threads.emplace_back([&, p] { runs[size_t(p)] = readItems(bytes, cuts[p], runEnd(p)); });
    runs[0] = readItems(bytes, cuts[0], runEnd(0));

    // The rest of the library, with an empty list in the shortcuts' place.
    QByteArray frame;
    frame.reserve(itemsFrom + bytes.size() - itemsTo);
    frame.append(bytes.constData(), itemsFrom).append(bytes.constData() + itemsTo, bytes.size() - itemsTo);
    std::optional<UserData> data;
    try {
        // Read as the whole file would be; its rules hold for it alone whenever they hold for
        // the whole, and are checked again once the shortcuts are in.
        UserData rest = VelmoraJSON::decode<UserData>(frame);
        if (rest.shortcuts.isEmpty())
            data = std::move(rest);
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
