#pragma once

#include "Models/VelmoraJSON.h"

#include <QMetaType>
#include <QString>
#include <optional>

// One folder; folders nest through `parentGroupId`.
//
// Equality and hashing cover every field; text fields compare under canonical equivalence.
struct Group {
    QString id;
    QString name;
    std::optional<QString> parentGroupId; // absent: top level
    qint64 order = 0;
    bool collapsed = false;
    std::optional<QString> icon; // icon key: built-in key, CustomIcon::iconKey() or an emoji
    std::optional<QString> color; // hex colour text
    std::optional<QString> visibility; // "private", "public" or "unlisted"
    std::optional<QString> shareId; // kept and written back unchanged

    static Group fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Group& a, const Group& b);
};
size_t qHash(const Group& group, size_t seed = 0);
Q_DECLARE_METATYPE(Group)
