#include "Models/Shortcut.h"

#include <QHashFunctions>

namespace {
// Optionals hash a presence marker first, then the value when there is one, so that an
// absent value and any present value hash apart.
template <class T>
size_t hashOptional(size_t seed, const std::optional<T>& value)
{
    seed = qHashMulti(seed, value.has_value());
    if (value)
        seed = qHashMulti(seed, *value);
    return seed;
}
} // namespace

// Keys are read in field order and the first failure ends the read.

Shortcut Shortcut::fromJson(const JsonReader& r)
{
    Shortcut s;
    s.id = r.required<QString>(QStringLiteral("id"));
    s.trigger = r.required<QString>(QStringLiteral("trigger"));
    s.expansion = r.required<QString>(QStringLiteral("expansion"));
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
    o.insert(QStringLiteral("expansion"), expansion);
    insertIfPresent(o, QStringLiteral("groupId"), groupId);
    o.insert(QStringLiteral("order"), order);
    insertIfPresent(o, QStringLiteral("isExample"), isExample);
    return o;
}

size_t qHash(const Shortcut& s, size_t seed)
{
    seed = qHashMulti(seed, s.id, s.trigger, s.expansion);
    seed = hashOptional(seed, s.groupId);
    seed = qHashMulti(seed, s.order);
    return hashOptional(seed, s.isExample);
}

Group Group::fromJson(const JsonReader& r)
{
    Group g;
    g.id = r.required<QString>(QStringLiteral("id"));
    g.name = r.required<QString>(QStringLiteral("name"));
    g.parentGroupId = r.optional<QString>(QStringLiteral("parentGroupId"));
    g.order = r.value<qint64>(QStringLiteral("order"), 0);
    g.collapsed = r.value<bool>(QStringLiteral("collapsed"), false);
    g.icon = r.optional<QString>(QStringLiteral("icon"));
    g.color = r.optional<QString>(QStringLiteral("color"));
    g.visibility = r.optional<QString>(QStringLiteral("visibility"));
    g.shareId = r.optional<QString>(QStringLiteral("shareId"));
    return g;
}

QJsonValue Group::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("name"), name);
    insertIfPresent(o, QStringLiteral("parentGroupId"), parentGroupId);
    o.insert(QStringLiteral("order"), order);
    o.insert(QStringLiteral("collapsed"), collapsed);
    insertIfPresent(o, QStringLiteral("icon"), icon);
    insertIfPresent(o, QStringLiteral("color"), color);
    insertIfPresent(o, QStringLiteral("visibility"), visibility);
    insertIfPresent(o, QStringLiteral("shareId"), shareId);
    return o;
}

size_t qHash(const Group& g, size_t seed)
{
    seed = qHashMulti(seed, g.id, g.name);
    seed = hashOptional(seed, g.parentGroupId);
    seed = qHashMulti(seed, g.order, g.collapsed);
    seed = hashOptional(seed, g.icon);
    seed = hashOptional(seed, g.color);
    seed = hashOptional(seed, g.visibility);
    return hashOptional(seed, g.shareId);
}

CustomIcon CustomIcon::fromJson(const JsonReader& r)
{
    CustomIcon c;
    c.id = r.required<QString>(QStringLiteral("id"));
    c.name = r.required<QString>(QStringLiteral("name"));
    c.svg = r.required<QString>(QStringLiteral("svg"));
    return c;
}

QJsonValue CustomIcon::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("svg"), svg);
    return o;
}

size_t qHash(const CustomIcon& c, size_t seed)
{
    return qHashMulti(seed, c.id, c.name, c.svg);
}
