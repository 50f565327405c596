#include "App/State/PopoverKeyboardShortcuts.h"

namespace PopoverKeyboardShortcuts {

namespace {
    bool isDelete(int key)
    {
        return key == Qt::Key_Backspace || key == Qt::Key_Delete;
    }

    bool isReturn(int key)
    {
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }

    // Shortcuts that act whether or not a text field is being edited.
    Command globalCommand(int key, bool shift)
    {
        switch (key) {
        case Qt::Key_F: return Command::focusSearch;
        case Qt::Key_Q: return Command::quit;
        case Qt::Key_W: return Command::closePopover;
        case Qt::Key_Comma: return Command::openSettings;
        case Qt::Key_N: return shift ? Command::newFolder : Command::newShortcut;
        default: return Command::letThrough;
        }
    }

    Command arrow(int key)
    {
        switch (key) {
        case Qt::Key_Up: return Command::moveSelectionUp;
        case Qt::Key_Down: return Command::moveSelectionDown;
        case Qt::Key_Left: return Command::moveSelectionLeft;
        case Qt::Key_Right: return Command::moveSelectionRight;
        default: return Command::letThrough;
        }
    }

    Command plainKey(int key, bool shift)
    {
        if (isReturn(key))
            return shift ? Command::goUp : Command::openSelected;
        if (shift)
            return Command::letThrough;
        if (isDelete(key))
            return Command::deleteOrGoUp;
        if (key == Qt::Key_Escape)
            return Command::escape;
        return Command::letThrough;
    }
} // namespace

bool isAppWide(Command command)
{
    switch (command) {
    case Command::focusSearch:
    case Command::quit:
    case Command::closePopover:
    case Command::openSettings:
    case Command::newShortcut:
    case Command::newFolder:
    case Command::openAccount:
    case Command::openAchievements:
    case Command::openStatistics:
        return true;
    default:
        return false;
    }
}

Command commandFor(int key, Qt::KeyboardModifiers modifiers, bool editingText)
{
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);

    if (editingText) {
        if (key == Qt::Key_Escape)
            return (!alt || ctrl) ? Command::endEditing : Command::letThrough;
        return ctrl ? globalCommand(key, shift) : Command::letThrough;
    }

    if (ctrl && !alt) {
        switch (key) {
        case Qt::Key_A: return Command::selectAll;
        case Qt::Key_D: return Command::duplicateSelected;
        case Qt::Key_Z: return shift ? Command::redo : Command::undo;
        case Qt::Key_Y: return Command::redo;
        case Qt::Key_C: return Command::copySelected;
        case Qt::Key_V: return Command::paste;
        default: break;
        }
        if (const Command c = globalCommand(key, shift); c != Command::letThrough)
            return c;
        if (isReturn(key) || isDelete(key) || key == Qt::Key_Escape)
            return plainKey(key, false);
    }

    if (const Command move = arrow(key); move != Command::letThrough) {
        if (alt && !ctrl) {
            if (key == Qt::Key_Up)
                return Command::moveItemUp;
            if (key == Qt::Key_Down)
                return Command::moveItemDown;
            return move;
        }
        return shift ? Command::letThrough : move;
    }

    // Return, Delete and Escape with Ctrl and Alt, with Alt only, or with no modifier.
    if ((ctrl && alt) || !ctrl)
        return plainKey(key, shift);
    return Command::letThrough;
}

} // namespace PopoverKeyboardShortcuts
