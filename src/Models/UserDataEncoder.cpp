#include "Models/UserDataEncoder.h"

#include <QJsonDocument>

namespace {

// The list's place in the written library: a line of its own at the first depth, which no
// text value can imitate, since the coder writes a line break inside text as "\n".
const QByteArray listOpening = QByteArrayLiteral("\n    \"shortcuts\": [");
const QByteArray emptyListRest = QByteArrayLiteral("\n    ]");
// The list's items sit two levels deep.
const QByteArray itemIndent = QByteArrayLiteral("        ");

// Exact, not canonical, equality: a shortcut whose text only changed its Unicode form must be
// written again, as its bytes differ.
bool sameText(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

bool sameShortcut(const Shortcut& a, const Shortcut& b)
{
    return sameText(a.id, b.id) && sameText(a.trigger, b.trigger) && sameText(a.expansion, b.expansion)
        && a.groupId.has_value() == b.groupId.has_value() && (!a.groupId || sameText(*a.groupId, *b.groupId))
        && a.order == b.order && a.isExample == b.isExample;
}

} // namespace

QByteArray UserDataEncoder::encodeShortcut(const Shortcut& shortcut, bool& readsBack)
{
    const QByteArray alone = VelmoraJSON::encode(shortcut);
    try {
        readsBack = VelmoraJSON::decode<Shortcut>(alone) == shortcut;
    } catch (const DecodingError&) {
        readsBack = false;
    }
    // Written alone the record starts at depth 0 and ends with a line break; in the list every
    // line lies two levels deeper.
    QByteArray nested;
    nested.reserve(alone.size() + itemIndent.size() * (alone.count('\n') + 1));
    nested += itemIndent;
    for (qsizetype i = 0; i < alone.size() - 1; ++i) {
        nested += alone[i];
        if (alone[i] == '\n')
            nested += itemIndent;
    }
    return nested;
}

VelmoraJSON::Encoded UserDataEncoder::encode(const UserData& data)
{
    UserData rest = data;
    rest.shortcuts.clear();
    const QByteArray frame = VelmoraJSON::encode(rest);
    const qsizetype list = frame.indexOf(listOpening);
    const qsizetype listEnd = list + listOpening.size();
    if (list < 0 || frame.mid(listEnd, emptyListRest.size()) != emptyListRest)
        return {VelmoraJSON::encode(data), false};
    bool readsBack = false;
    try {
        readsBack = VelmoraJSON::decode<UserData>(frame) == rest;
    } catch (const DecodingError&) {
    }
    if (data.shortcuts.isEmpty())
        return {frame, readsBack};

    struct Fresh {
        QByteArray text;
        bool readsBack = false;
    };
    QList<Fresh> fresh;
    qsizetype size = frame.size();
    // Sizes first, so that the result is allocated once.
    QList<const Entry*> kept(data.shortcuts.size(), nullptr);
    for (qsizetype i = 0; i < data.shortcuts.size(); ++i) {
        const Shortcut& shortcut = data.shortcuts[i];
        const auto it = m_entries.constFind(shortcut.id);
        if (it != m_entries.constEnd() && sameShortcut(it->shortcut, shortcut)) {
            kept[i] = &*it;
            size += it->size + 2;
        } else {
            Fresh item;
            item.text = encodeShortcut(shortcut, item.readsBack);
            size += item.text.size() + 2;
            fresh.append(std::move(item));
        }
    }

    QHash<QString, Entry> entries;
    entries.reserve(data.shortcuts.size());
    QByteArray bytes;
    bytes.reserve(size);
    bytes.append(frame.constData(), listEnd);
    qsizetype next = 0;
    for (qsizetype i = 0; i < data.shortcuts.size(); ++i) {
        bytes += i == 0 ? "\n" : ",\n";
        const Shortcut& shortcut = data.shortcuts[i];
        Entry entry{shortcut, bytes.size(), 0, false};
        if (kept[i]) {
            entry.size = kept[i]->size;
            entry.readsBack = kept[i]->readsBack;
            bytes.append(m_written.constData() + kept[i]->offset, entry.size);
        } else {
            const Fresh& item = fresh[next++];
            entry.size = item.text.size();
            entry.readsBack = item.readsBack;
            bytes += item.text;
        }
        readsBack = readsBack && entry.readsBack;
        entries.insert(shortcut.id, entry);
    }
    bytes += emptyListRest;
    bytes.append(frame.constData() + listEnd + emptyListRest.size(), frame.size() - listEnd - emptyListRest.size());

    m_entries = std::move(entries);
    m_written = bytes;
    return {bytes, readsBack};
}
