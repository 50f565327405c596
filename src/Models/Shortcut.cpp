#include "Models/Shortcut.h"

#include "Models/RecordText.h"

namespace {
constexpr qsizetype copyAhead = 8;

// A text's reference count sits in the header right before its characters.
void prefetchCount(const void* characters)
{
    __builtin_prefetch(static_cast<const char*>(characters) - 16);
}

void prefetchCounts(const Shortcut& shortcut)
{
    prefetchCount(shortcut.id.constData());
    prefetchCount(shortcut.trigger.constData());
    prefetchCount(shortcut.expansion.utf8().constData());
    if (shortcut.groupId)
        prefetchCount(shortcut.groupId->constData());
}
} // namespace

QList<Shortcut> Shortcut::ownCopy(const QList<Shortcut>& shortcuts, qsizetype room)
{
    QList<Shortcut> copy;
    copy.reserve(shortcuts.size() + room);
    const qsizetype count = shortcuts.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (i + copyAhead < count)
            prefetchCounts(shortcuts[i + copyAhead]);
        copy.append(shortcuts[i]);
    }
    return copy;
}

// Keys are read in field order, so the first failing key is the one reported.
Shortcut Shortcut::fromJson(const JsonReader& r)
{
    Shortcut s;
    s.id = r.required<QString>(QStringLiteral("id"));
    s.trigger = r.required<QString>(QStringLiteral("trigger"));
    s.expansion = r.required<CompactText>(QStringLiteral("expansion"));
    s.groupId = r.optional<QString>(QStringLiteral("groupId"));
    s.order = r.value<qint64>(QStringLiteral("order"), 0);
    s.isExample = r.optional<bool>(QStringLiteral("isExample"));
    return s;
}

QJsonValue Shortcut::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("trigger"), trigger);
    o.insert(QStringLiteral("expansion"), expansion.toString());
    insertIfPresent(o, QStringLiteral("groupId"), groupId);
    o.insert(QStringLiteral("order"), order);
    insertIfPresent(o, QStringLiteral("isExample"), isExample);
    return o;
}

bool operator==(const Shortcut& a, const Shortcut& b)
{
    return RecordText::equal(a.id, b.id) && RecordText::equal(a.trigger, b.trigger)
        && RecordText::equal(a.expansion, b.expansion) && RecordText::equal(a.groupId, b.groupId) && a.order == b.order
        && a.isExample == b.isExample;
}

size_t qHash(const Shortcut& s, size_t seed)
{
    seed = RecordText::hash(seed, s.id);
    seed = RecordText::hash(seed, s.trigger);
    seed = RecordText::hash(seed, s.expansion);
    seed = RecordText::hash(seed, s.groupId);
    seed = qHashMulti(seed, s.order);
    return RecordText::hash(seed, s.isExample);
}

namespace {

bool sameText(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

} // namespace

bool Shortcut::identical(const Shortcut& a, const Shortcut& b)
{
    return sameText(a.id, b.id) && sameText(a.trigger, b.trigger)
        && (a.expansion.isSharedWith(b.expansion) || a.expansion == b.expansion)
        && a.groupId.has_value() == b.groupId.has_value() && (!a.groupId || sameText(*a.groupId, *b.groupId))
        && a.order == b.order && a.isExample == b.isExample;
}
