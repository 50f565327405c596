#pragma once

#include "Models/UserData.h"
#include "Utilities/VelmoraError.h"

#include <QList>
#include <QString>

// Preset text: folders and shortcuts written as plain text, as they are copied from a
// collection of presets and pasted into the settings screen. Reading is all or nothing: the
// first faulty line rejects the whole text.
//
//   Some words about the presets   everything up to the separator is ignored
//   ─ Velmora presets ─
//   Work/Mail [#3366FF envelope]:  a folder path ("\/" is a slash inside a name) with an
//                                  optional colour and icon; its presets follow
//   /sig →                         a block preset: the trigger, then the expansion lines
//   Best regards,
//   Ada
//   ─                              back to the top level
//
// One-line presets ("/ty → Thank you!") are read in text without the separator unless a
// block preset comes first, and after the separator when the first preset is one.
namespace PromptTextImport {

inline constexpr QStringView separatorLine = u"\u2500 Velmora presets \u2500";

// What was read: every folder after its ancestors, and the shortcuts in reading order.
struct Parsed {
    QList<Group> groups;
    QList<Shortcut> shortcuts;
};

// A shortcut that arrived with a trigger the library already uses.
struct RenamedTrigger {
    QString original; // the trigger as written
    QString imported; // the trigger the new shortcut got

    friend bool operator==(const RenamedTrigger&, const RenamedTrigger&) = default;
};

// What adding what was read to the library would give; nothing is saved here.
struct Plan {
    UserData library; // the whole library after the merge, validated
    qint64 addedShortcutCount = 0;
    qint64 addedGroupCount = 0;
    QList<RenamedTrigger> renamedTriggers; // in the order of the shortcuts
};

// Why a text was rejected; `line()` is the 1-based line in the whole pasted text.
class Failure : public VelmoraError {
public:
    enum class Kind { invalidLine, emptyShortcut, invalidFolder, noPresets };

    static Failure invalidLine(qsizetype line) { return Failure(Kind::invalidLine, line); }
    static Failure emptyShortcut(qsizetype line) { return Failure(Kind::emptyShortcut, line); }
    static Failure invalidFolder(qsizetype line) { return Failure(Kind::invalidFolder, line); }
    static Failure noPresets() { return Failure(Kind::noPresets, 0); }

    Kind kind() const { return m_kind; }
    qsizetype line() const { return m_line; }
    QString errorDescription() const override;

    friend bool operator==(const Failure& a, const Failure& b) { return a.m_kind == b.m_kind && a.m_line == b.m_line; }

private:
    Failure(Kind kind, qsizetype line)
        : m_kind(kind)
        , m_line(line)
    {
    }

    Kind m_kind;
    qsizetype m_line;
};

// Reads pasted text; throws Failure. Time and memory are linear in the text's length.
Parsed parse(const QString& text);

// Adds every read shortcut to `library`, each under a fresh id; a read folder with the name
// and parent of a library folder is that folder (its icon and colour stay). A trigger the
// library or an earlier read shortcut uses gets its first free numbered form. Throws the
// library's validation error when the merged library breaks a rule.
Plan plan(const Parsed& parsed, const UserData& library);

} // namespace PromptTextImport
