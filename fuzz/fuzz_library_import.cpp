// A library file to import can hold anything. Reading it either fails with a decoding
// error or gives a valid library, and merging a valid library never fails, never changes
// an existing item and accounts for every imported shortcut.
#include "Persistence/LibraryImportPlan.h"
#include "SampleLibrary.h"

namespace {

void checkMerge(const UserData& imported, const UserData& current)
{
    const LibraryImportPlan plan = LibraryImportPlan::merge(imported, current);
    const UserData& merged = plan.library;
    check(plan.addedShortcutCount + plan.unchangedShortcutCount == imported.shortcuts.size());
    check(plan.renamedTriggers.size() <= plan.addedShortcutCount);
    check(merged.groups.mid(0, current.groups.size()) == current.groups);
    check(merged.shortcuts.mid(0, current.shortcuts.size()) == current.shortcuts);
    check(merged.customIcons.mid(0, current.customIcons.size()) == current.customIcons);
    check(merged.shortcuts.size() == current.shortcuts.size() + plan.addedShortcutCount);
    check(merged.duplicateTriggers().size() <= current.duplicateTriggers().size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UserData imported;
    try {
        imported = VelmoraJSON::decode<UserData>(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const DecodingError&) {
        return 0;
    }
    const LibraryImportPlan self = LibraryImportPlan::merge(imported, imported);
    check(self.addedShortcutCount == 0 && self.addedGroupCount == 0 && self.addedIconCount == 0);
    check(self.unchangedShortcutCount == imported.shortcuts.size());
    check(self.renamedTriggers.isEmpty());

    const UserData sample = sampleLibrary();
    checkMerge(imported, sample);
    checkMerge(sample, imported);
    return 0;
}
