#pragma once

#include "Models/VelmoraJSON.h"
#include "Utilities/CompactText.h"

// Code that handles library items reaches folders and custom icons through this header too.
#include "Models/CustomIcon.h"
#include "Models/Group.h"

#include <QMetaType>
#include <QString>
#include <QTypeInfo>
#include <optional>

// One shortcut: a trigger and the text it expands to.
//
// Equality and hashing cover every field; text fields compare under canonical equivalence.
struct Shortcut {
    QString id;
    QString trigger;
    // Kept as UTF-8: a large library's texts are most of its memory.
    CompactText expansion;
    std::optional<QString> groupId; // absent: top level
    qint64 order = 0;
    std::optional<bool> isExample;

    // Exactly the same fields, text for text (not only canonically equivalent): what a copy
    // of the record, or the record itself, is. Cheap for copies, which share their texts.
    static bool identical(const Shortcut& a, const Shortcut& b);

    static Shortcut fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Shortcut& a, const Shortcut& b);
};
// Its texts are moved as the handles they are: a library's list of tens of thousands of
// shortcuts is grown, shrunk and edited in the middle by moving bytes, not by copying each one.
Q_DECLARE_TYPEINFO(Shortcut, Q_RELOCATABLE_TYPE);
size_t qHash(const Shortcut& shortcut, size_t seed = 0);
Q_DECLARE_METATYPE(Shortcut)
