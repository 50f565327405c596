#pragma once

#include "Models/VelmoraJSON.h"
#include "Utilities/CompactText.h"

// Code that handles library items reaches folders and custom icons through this header too.
#include "Models/CustomIcon.h"
#include "Models/Group.h"

#include <QList>
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

    // A list of its own holding `shortcuts` and room for `room` more, for a change that adds
    // to a list shared with another library (the one kept for undo). Copying a shortcut
    // counts one more user of each of its texts, and a large library's texts lie far apart
    // in memory: they are asked for a few shortcuts ahead instead of waited for one by one.
    static QList<Shortcut> ownCopy(const QList<Shortcut>& shortcuts, qsizetype room);

    static Shortcut fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const Shortcut& a, const Shortcut& b);
};
// Its texts are moved as the handles they are: a library's list of tens of thousands of
// shortcuts is grown, shrunk and edited in the middle by moving bytes, not by copying each one.
Q_DECLARE_TYPEINFO(Shortcut, Q_RELOCATABLE_TYPE);
size_t qHash(const Shortcut& shortcut, size_t seed = 0);
Q_DECLARE_METATYPE(Shortcut)
