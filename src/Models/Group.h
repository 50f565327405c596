#pragma once

#include "Models/VelmoraJSON.h"

#include <QMetaType>
#include <QString>
#include <optional>

// Who may see a shared folder. The record keeps the stored text rather than this value, so a
// text this version does not know is written back unchanged.
enum class FolderVisibility { privateFolder, publicFolder, unlisted };

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
    std::optional<QString> visibility; // visibilityText() of a FolderVisibility, or an unknown text
    std::optional<QString> shareId; // kept and written back unchanged

    // The JSON text of `visibility`: "private", "public" or "unlisted".
    static QString visibilityText(FolderVisibility visibility);
    // The stored visibility when it is one of the known texts.
    std::optional<FolderVisibility> knownVisibility() const;

    static Group fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Group& a, const Group& b);
};
size_t qHash(const Group& group, size_t seed = 0);
Q_DECLARE_METATYPE(Group)
