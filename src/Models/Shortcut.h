#pragma once

#include "Persistence/VelmoraJSON.h"

#include <QMetaType>
#include <QString>
#include <optional>

// One shortcut: a trigger and the text it expands to.
struct Shortcut {
    QString id;
    QString trigger;
    QString expansion;
    std::optional<QString> groupId; // absent: top level
    qint64 order = 0;
    std::optional<bool> isExample;

    static Shortcut fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};
size_t qHash(const Shortcut& shortcut, size_t seed = 0);
Q_DECLARE_METATYPE(Shortcut)

// One folder; folders nest through `parentGroupId`.
struct Group {
    QString id;
    QString name;
    std::optional<QString> parentGroupId; // absent: top level
    qint64 order = 0;
    bool collapsed = false;
    std::optional<QString> icon;       // icon key, see FolderIconCatalog
    std::optional<QString> color;      // hex colour text
    std::optional<QString> visibility; // "private", "public" or "unlisted"
    std::optional<QString> shareId;    // kept and written back unchanged

    static Group fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Group&, const Group&) = default;
};
size_t qHash(const Group& group, size_t seed = 0);
Q_DECLARE_METATYPE(Group)

// An SVG icon the user added; a folder refers to it by the icon key "custom:" + id.
struct CustomIcon {
    QString id;
    QString name;
    QString svg;

    static CustomIcon fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const CustomIcon&, const CustomIcon&) = default;
};
size_t qHash(const CustomIcon& icon, size_t seed = 0);
