#pragma once

#include "Models/VelmoraJSON.h"

#include <QString>
#include <optional>

// An SVG icon the user added. A folder shows it through the icon key "custom:" + id.
//
// Equality and hashing cover every field; text fields compare under canonical equivalence.
struct CustomIcon {
    QString id;
    QString name;
    QString svg;

    static CustomIcon fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    // The folder icon key that refers to this icon.
    QString iconKey() const;
    // The icon id named by a folder icon key, when the key refers to an uploaded icon.
    static std::optional<QString> idFromIconKey(const QString& key);

    friend bool operator==(const CustomIcon& a, const CustomIcon& b);
};
size_t qHash(const CustomIcon& icon, size_t seed = 0);
