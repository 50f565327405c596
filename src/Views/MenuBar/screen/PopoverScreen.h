#pragma once

#include "Models/Shortcut.h"

#include <QString>
#include <variant>

// The screen the popover shows. Two screens carry a copy of the record they edit, taken
// when the screen is chosen. There is deliberately no equality: a change of screen is a
// change of `tag()`, so switching from one folder's editor to another's is not one.
class PopoverScreen {
public:
    enum class Kind { main, newShortcut, editShortcut, newFolder, editFolder, settings, account, stats, achievements };

    PopoverScreen() = default;
    static PopoverScreen main() { return PopoverScreen(Kind::main); }
    static PopoverScreen newShortcut() { return PopoverScreen(Kind::newShortcut); }
    static PopoverScreen editShortcut(const Shortcut& shortcut) { return PopoverScreen(Kind::editShortcut, shortcut); }
    static PopoverScreen newFolder() { return PopoverScreen(Kind::newFolder); }
    static PopoverScreen editFolder(const Group& group) { return PopoverScreen(Kind::editFolder, group); }
    static PopoverScreen settings() { return PopoverScreen(Kind::settings); }
    static PopoverScreen account() { return PopoverScreen(Kind::account); }
    static PopoverScreen stats() { return PopoverScreen(Kind::stats); }
    static PopoverScreen achievements() { return PopoverScreen(Kind::achievements); }

    Kind kind() const { return m_kind; }
    // The case name without payload: "main", "editFolder", ...
    QString tag() const;

    const Shortcut* shortcut() const { return std::get_if<Shortcut>(&m_payload); }
    const Group* group() const { return std::get_if<Group>(&m_payload); }

private:
    explicit PopoverScreen(Kind kind, std::variant<std::monostate, Shortcut, Group> payload = {})
        : m_kind(kind)
        , m_payload(std::move(payload))
    {
    }

    Kind m_kind = Kind::main;
    std::variant<std::monostate, Shortcut, Group> m_payload;
};

inline QString PopoverScreen::tag() const
{
    switch (m_kind) {
    case Kind::main: return QStringLiteral("main");
    case Kind::newShortcut: return QStringLiteral("newShortcut");
    case Kind::editShortcut: return QStringLiteral("editShortcut");
    case Kind::newFolder: return QStringLiteral("newFolder");
    case Kind::editFolder: return QStringLiteral("editFolder");
    case Kind::settings: return QStringLiteral("settings");
    case Kind::account: return QStringLiteral("account");
    case Kind::stats: return QStringLiteral("stats");
    case Kind::achievements: return QStringLiteral("achievements");
    }
    return QStringLiteral("main");
}
