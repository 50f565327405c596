#pragma once

#include "Models/UserData.h"
#include "Persistence/PromptTextImport.h"

#include <QList>

// What importing a library file would do: the whole merged library and the counts the
// settings screen asks the user to confirm. Nothing is saved here.
struct LibraryImportPlan {
    UserData library; // validated, ready to replace the current library
    qint64 addedShortcutCount = 0; // shortcuts in `library` minus those in the current one
    qint64 addedGroupCount = 0; // the same for folders
    qint64 addedIconCount = 0; // the same for custom icons
    qint64 unchangedShortcutCount = 0; // imported shortcuts the library already holds
    QList<PromptTextImport::RenamedTrigger> renamedTriggers; // in the order they were added

    // Merges `imported` into `current`: adds what is new, recognises what is already there,
    // never changes or removes an existing item, never hands out an id that is in use or
    // tombstoned, and numbers triggers that would clash. Throws the library's validation
    // error when either input or the result is invalid. Runs in O(n log n) of the sizes.
    static LibraryImportPlan merge(const UserData& imported, const UserData& current);
};
