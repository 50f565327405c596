#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <Qt>

// The popover's commands and their keys, declared once: the key handler looks a press up here
// and the menus show the same keys. Ctrl plays the part of Command and Alt of Option; the
// keypad's Enter is Return. Keys that belong to one screen (forms, chooser, account,
// achievements, tutorial) stay with that screen.
namespace PopoverKeyboardShortcuts {

enum class Command {
    letThrough,
    endEditing,
    focusSearch,
    quit,
    closePopover,
    openSettings,
    newShortcut,
    newFolder,
    selectAll,
    duplicateSelected,
    undo,
    redo,
    copySelected,
    paste,
    moveSelectionUp,
    moveSelectionDown,
    moveSelectionLeft,
    moveSelectionRight,
    moveItemUp,
    moveItemDown,
    openSelected, // Return
    openSelectionMenu, // the Menu key, Shift-F10
    goUp, // Shift-Return
    deleteOrGoUp, // Delete
    escape, // Escape
    // Reached from menus only.
    openAccount,
    openAchievements,
    openStatistics,
};

// Whether a text field of the popover has the keyboard focus when the key is pressed.
enum class When { always, editingText, notEditingText };

// One key of a command: `key` with exactly `modifiers` held (of Ctrl, Alt and Shift), where
// the ones in `alsoHeld` may be held too without changing the command.
struct KeyBinding {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    Qt::KeyboardModifiers alsoHeld = {};
    When when = When::notEditingText;

    bool matches(int key, Qt::KeyboardModifiers held, bool editingText) const;
    // The key as a menu shows it.
    QKeySequence sequence() const;
};

struct CommandDeclaration {
    Command command;
    QString title;
    // Acts on whatever screen is shown; every other command acts on the main list and only
    // while it is the screen shown with nothing laid over it.
    bool appWide;
    // The first one is the key a menu shows.
    QList<KeyBinding> keys;
};

// Every command but `letThrough`, each once.
const QList<CommandDeclaration>& table();
const CommandDeclaration* declaration(Command command);

bool isAppWide(Command command);
// Whether the command still acts while a layer (a question, a sheet, the icon chooser, the
// recovery screen) covers the shown screen: only those that act on the window, the application
// or the focused field, which is then the layer's own. Every other one acts on what the layer
// hides (a new screen in place of a draft, the list's selection).
bool actsUnderLayer(Command command);
// The command's keys as menus show them, the first one first.
QList<QKeySequence> shortcuts(Command command);

// `editingText`: a text field of the popover has the keyboard focus; then only a few
// shortcuts act and every other key goes to the field.
Command commandFor(int key, Qt::KeyboardModifiers modifiers, bool editingText);

} // namespace PopoverKeyboardShortcuts
