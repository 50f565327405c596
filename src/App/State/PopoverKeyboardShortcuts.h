#pragma once

#include <Qt>

// The popover's keyboard shortcuts as one table: which command a key press means. Ctrl plays
// the part of Command and Alt of Option; Backspace and Delete both delete.
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
    goUp, // Shift-Return
    deleteOrGoUp, // Delete
    escape, // Escape
    // Reached from menus only.
    openAccount,
    openAchievements,
    openStatistics,
};

// Commands that act on whatever screen is shown: new items, search, settings, the other
// screens, closing and quitting. Every other command acts on the main list and only while
// it is the screen shown with nothing laid over it.
bool isAppWide(Command command);

// `editingText`: a text field of the popover has the keyboard focus; then only a few
// shortcuts act and every other key goes to the field.
Command commandFor(int key, Qt::KeyboardModifiers modifiers, bool editingText);

} // namespace PopoverKeyboardShortcuts
