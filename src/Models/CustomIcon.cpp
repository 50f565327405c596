#include "Models/CustomIcon.h"

#include "Models/RecordText.h"

namespace {
const QString& customPrefix()
{
    static const QString prefix = QStringLiteral("custom:");
    return prefix;
}
} // namespace

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

QString CustomIcon::iconKey() const
{
    return customPrefix() + id;
}

std::optional<QString> CustomIcon::idFromIconKey(const QString& key)
{
    if (!key.startsWith(customPrefix()))
        return std::nullopt;
    return key.mid(customPrefix().size());
}

bool operator==(const CustomIcon& a, const CustomIcon& b)
{
    return RecordText::equal(a.id, b.id) && RecordText::equal(a.name, b.name) && RecordText::equal(a.svg, b.svg);
}

size_t qHash(const CustomIcon& c, size_t seed)
{
    seed = RecordText::hash(seed, c.id);
    seed = RecordText::hash(seed, c.name);
    return RecordText::hash(seed, c.svg);
}
