#include "Models/Group.h"

#include "Models/RecordText.h"

QString Group::visibilityText(FolderVisibility visibility)
{
    switch (visibility) {
    case FolderVisibility::privateFolder: return QStringLiteral("private");
    case FolderVisibility::publicFolder: return QStringLiteral("public");
    case FolderVisibility::unlisted: return QStringLiteral("unlisted");
    }
    return QStringLiteral("private");
}

std::optional<FolderVisibility> Group::knownVisibility() const
{
    for (FolderVisibility known :
        {FolderVisibility::privateFolder, FolderVisibility::publicFolder, FolderVisibility::unlisted}) {
        if (visibility == visibilityText(known))
            return known;
    }
    return std::nullopt;
}

// Keys are read in field order, so the first failing key is the one reported.
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

bool operator==(const Group& a, const Group& b)
{
    return RecordText::equal(a.id, b.id) && RecordText::equal(a.name, b.name)
        && RecordText::equal(a.parentGroupId, b.parentGroupId) && a.order == b.order && a.collapsed == b.collapsed
        && RecordText::equal(a.icon, b.icon) && RecordText::equal(a.color, b.color)
        && RecordText::equal(a.visibility, b.visibility) && RecordText::equal(a.shareId, b.shareId);
}

size_t qHash(const Group& g, size_t seed)
{
    seed = RecordText::hash(seed, g.id);
    seed = RecordText::hash(seed, g.name);
    seed = RecordText::hash(seed, g.parentGroupId);
    seed = qHashMulti(seed, g.order, g.collapsed);
    seed = RecordText::hash(seed, g.icon);
    seed = RecordText::hash(seed, g.color);
    seed = RecordText::hash(seed, g.visibility);
    return RecordText::hash(seed, g.shareId);
}
