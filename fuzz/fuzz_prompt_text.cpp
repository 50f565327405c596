// Pasted preset text comes from the clipboard: any bytes at all. Reading must end in a
// result or a Failure, a result must hang together, and it must merge into a valid library.
#include "Persistence/PromptTextImport.h"
#include "SampleLibrary.h"
#include "Utilities/Text.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    PromptTextImport::Parsed parsed;
    try {
        parsed = PromptTextImport::parse(text);
    } catch (const PromptTextImport::Failure& failure) {
        check(failure.kind() == PromptTextImport::Failure::Kind::noPresets || failure.line() >= 1);
        check(!failure.errorDescription().isEmpty());
        return 0;
    }
    check(!parsed.groups.isEmpty() || !parsed.shortcuts.isEmpty());
    QSet<QString> folders;
    for (const Group& group : parsed.groups) {
        check(!group.name.isEmpty());
        check(!group.parentGroupId || folders.contains(*group.parentGroupId));
        check(!folders.contains(group.id));
        folders.insert(group.id);
    }
    for (const Shortcut& shortcut : parsed.shortcuts) {
        check(!shortcut.trigger.isEmpty());
        check(!Text::trimmed(shortcut.expansion.toString()).isEmpty());
        check(!shortcut.groupId || folders.contains(*shortcut.groupId));
    }
    const UserData library = sampleLibrary();
    const PromptTextImport::Plan plan = PromptTextImport::plan(parsed, library);
    check(plan.library.shortcuts.size() == library.shortcuts.size() + parsed.shortcuts.size());
    check(plan.library.groups.mid(0, library.groups.size()) == library.groups);
    check(plan.library.duplicateTriggers().isEmpty());
    return 0;
}
