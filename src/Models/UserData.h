#pragma once

#include "Models/CustomIcon.h"
#include "Models/Group.h"
#include "Models/Shortcut.h"
#include "Models/TombstoneSet.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QStringView>
#include <functional>

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
    // The same check for a library made from `before`, which passed it: records still shared
    // with `before` are not gone through again, so one edit of a large library is checked in
    // time proportional to the edit (a new id is still looked for among all the others,
    // unless `idUsesBefore` says how many of `before`'s shortcuts use an id, canonically).
    void validateChange(const UserData& before, const std::function<int(const QString& id)>& idUsesBefore = {}) const;

    // The first item with `id`, or null. Ids compare exactly, as the views and the edits do.
    const Shortcut* shortcut(const QString& id) const;
    Shortcut* shortcut(const QString& id);
    const Group* group(const QString& id) const;
    Group* group(const QString& id);
    const CustomIcon* customIcon(QStringView id) const;

    // Folder tree walks. Each is linear in the library's size and stops where a parent link
    // is missing or loops, so a library that breaks the rules (read before validation, or an
    // edit being tried) can neither hang nor recurse deeply.

    // The folder `id` and the folders above it, top level first; empty when `id` names no
    // folder.
    QList<Group> folderPath(const QString& id) const;
    // Whether a parent link on the way up from the folder `folderId` names `ancestorId`: the
    // folder lies inside it at some depth (a folder does not lie inside itself).
    bool liesWithin(const QString& folderId, const QString& ancestorId) const;
    // The folder `id` and every folder inside it, at any depth.
    QSet<QString> folderAndDescendants(const QString& id) const;
    // How many folders deep the deepest folder lies (a top-level folder is 1, no folders 0).
    int deepestFolderDepth() const;

    // Moves the items named by `ids` into the folder `folderId`: the first shortcut and the
    // first folder with each id. A folder is not moved into itself or into a folder inside it.
    // Returns how many items changed place; nothing changes when the target folder does not
    // exist or an item already lies in it.
    int moveIntoFolder(const QStringList& ids, const QString& folderId);

    // Marks `ids` as deleted now in the markers of `kind`; a repeated id gets the new time.
    void recordDeletion(TombstoneKind kind, const QStringList& ids);

    // Drops every marker whose id is again a live item of the marker's own kind.
    void reconcileTombstones();

    // Fails with "Not a Velmora library." when none of the library's keys is present, and
    // with the validation error of an assembled library that breaks a rule.
    static UserData fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    // Exactly the same records in the same order, text for text (not only canonically
    // equivalent): what reads back from a file is what was written to it. Deletion markers,
    // which are written sorted, compare in any order.
    static bool identical(const UserData& a, const UserData& b);

    friend bool operator==(const UserData&, const UserData&) = default;
};
