#pragma once

#include "Models/CustomIcon.h"
#include "Models/Group.h"
#include "Models/Shortcut.h"
#include "Models/TombstoneSet.h"

#include <QList>
#include <QSet>
#include <QStringList>

// The whole library as one value: the content of the data file, the export file, the
// library part of a sync snapshot and an imported library.
//
// Reading from JSON validates, and the store validates again before every write, so a
// library that breaks a rule can be neither loaded nor saved.
struct UserData {
    QList<Group> groups;
    QList<Shortcut> shortcuts;
    QList<CustomIcon> customIcons;
    TombstoneSet deletedIds;

    // No folders, shortcuts or icons and no deletion markers.
    static UserData empty();

    // The canonical (NFC) text of every trigger used by more than one shortcut. Duplicates
    // are allowed in a valid library; the matcher ignores them and sync refuses to upload.
    QSet<QString> duplicateTriggers() const;

    // Throws a data-corrupted DecodingError with an empty coding path at the first broken
    // rule: ids non-empty and unique per kind, shortcuts with trigger and text, folder
    // parents existing and acyclic, shortcut folders existing, deletion markers unique.
    void validate() const;

    // Marks `ids` as deleted now in the markers of `kind`; a repeated id gets the new time.
    void recordDeletion(TombstoneKind kind, const QStringList& ids);

    // Drops every marker whose id is again a live item of the marker's own kind.
    void reconcileTombstones();

    // Fails with "Not a Velmora library." when none of the library's keys is present, and
    // with the validation error of an assembled library that breaks a rule.
    static UserData fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const UserData&, const UserData&) = default;
};
