#include "App/State/PopoverKeyboardShortcuts.h"

namespace PopoverKeyboardShortcuts {

namespace {
    constexpr Qt::KeyboardModifiers none = Qt::NoModifier;
    constexpr Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    constexpr Qt::KeyboardModifiers alt = Qt::AltModifier;
    constexpr Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    constexpr Qt::KeyboardModifiers counted = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;

    // A shortcut that acts everywhere with Ctrl, and while editing with Ctrl and Alt too.
    QList<KeyBinding> global(Qt::Key key, Qt::KeyboardModifiers modifiers, Qt::KeyboardModifiers alsoHeld)
    {
        return {{key, ctrl | modifiers, alsoHeld, When::always},
            {key, ctrl | alt | modifiers, alsoHeld, When::editingText}};
    }

    // A list key that acts alone or with Alt, with Ctrl (Shift then makes no difference) and
    // with Ctrl and Alt.
    QList<KeyBinding> listKey(Qt::Key key)
    {
        return {{key, none, alt}, {key, ctrl, shift}, {key, ctrl | alt}};
    }

    // An arrow selects alone, with Ctrl or with Ctrl and Alt; Shift lets it through.
    QList<KeyBinding> arrow(Qt::Key key)
    {
        return {{key, none}, {key, ctrl}, {key, ctrl | alt}};
    }

    QList<CommandDeclaration> declare()
    {
        const QList<KeyBinding> enclosingFolder = {{Qt::Key_Return, shift, alt}, {Qt::Key_Return, ctrl | alt | shift}};
        return {
            {Command::newShortcut, QStringLiteral("New Shortcut"), true, global(Qt::Key_N, none, none)},
            {Command::newFolder, QStringLiteral("New Folder"), true, global(Qt::Key_N, shift, none)},
            {Command::focusSearch, QStringLiteral("Search"), true, global(Qt::Key_F, none, shift)},
            {Command::openSettings, QStringLiteral("Settings & import"), true, global(Qt::Key_Comma, none, shift)},
            {Command::openAccount, QStringLiteral("Account"), true, {}},
            {Command::openAchievements, QStringLiteral("Achievements"), true, {}},
            {Command::openStatistics, QStringLiteral("Statistics"), true, {}},
            {Command::closePopover, QStringLiteral("Close"), true, global(Qt::Key_W, none, shift)},
            {Command::quit, QStringLiteral("Quit Velmora"), true, global(Qt::Key_Q, none, shift)},
            // Alt-Escape alone stays with the text field.
            {Command::endEditing, QStringLiteral("End Editing"), false,
                {{Qt::Key_Escape, none, ctrl | shift, When::editingText},
                    {Qt::Key_Escape, ctrl | alt, shift, When::editingText}}},
            {Command::selectAll, QStringLiteral("Select All"), false, {{Qt::Key_A, ctrl, shift}}},
            {Command::duplicateSelected, QStringLiteral("Duplicate"), false, {{Qt::Key_D, ctrl, shift}}},
            {Command::undo, QStringLiteral("Undo"), false, {{Qt::Key_Z, ctrl}}},
            {Command::redo, QStringLiteral("Redo"), false, {{Qt::Key_Z, ctrl | shift}, {Qt::Key_Y, ctrl, shift}}},
            {Command::copySelected, QStringLiteral("Copy"), false, {{Qt::Key_C, ctrl, shift}}},
            {Command::paste, QStringLiteral("Paste"), false, {{Qt::Key_V, ctrl, shift}}},
            {Command::moveSelectionUp, QStringLiteral("Select Above"), false, arrow(Qt::Key_Up)},
            {Command::moveSelectionDown, QStringLiteral("Select Below"), false, arrow(Qt::Key_Down)},
            {Command::moveSelectionLeft, QStringLiteral("Select Left"), false,
                arrow(Qt::Key_Left) << KeyBinding{Qt::Key_Left, alt, shift}},
            {Command::moveSelectionRight, QStringLiteral("Select Right"), false,
                arrow(Qt::Key_Right) << KeyBinding{Qt::Key_Right, alt, shift}},
            {Command::moveItemUp, QStringLiteral("Move Up"), false, {{Qt::Key_Up, alt, shift}}},
            {Command::moveItemDown, QStringLiteral("Move Down"), false, {{Qt::Key_Down, alt, shift}}},
            {Command::openSelected, QStringLiteral("Open"), false, listKey(Qt::Key_Return)},
            {Command::openSelectionMenu, QStringLiteral("Show Menu"), false,
                {{Qt::Key_Menu, none, shift}, {Qt::Key_F10, shift}}},
            {Command::goUp, QStringLiteral("Enclosing Folder"), false, enclosingFolder},
            {Command::deleteOrGoUp, QStringLiteral("Delete"), false,
                listKey(Qt::Key_Backspace) + listKey(Qt::Key_Delete)},
            {Command::escape, QStringLiteral("Deselect"), false, listKey(Qt::Key_Escape)},
        };
    }
} // namespace

bool KeyBinding::matches(int pressed, Qt::KeyboardModifiers held, bool editingText) const
{
    if ((when == When::editingText && !editingText) || (when == When::notEditingText && editingText))
        return false;
    if (pressed == Qt::Key_Enter)
        pressed = Qt::Key_Return;
    return pressed == key && (held & counted & ~alsoHeld) == modifiers;
}

QKeySequence KeyBinding::sequence() const
{
    return QKeySequence(QKeyCombination(modifiers, key));
}

const QList<CommandDeclaration>& table()
{
    static const QList<CommandDeclaration> declarations = declare();
    return declarations;
}

const CommandDeclaration* declaration(Command command)
{
    for (const CommandDeclaration& declared : table()) {
        if (declared.command == command)
            return &declared;
    }
    return nullptr;
}

bool isAppWide(Command command)
{
    const CommandDeclaration* declared = declaration(command);
    return declared && declared->appWide;
}

bool actsUnderLayer(Command command)
{
    return command == Command::endEditing || command == Command::closePopover || command == Command::quit;
}

QList<QKeySequence> shortcuts(Command command)
{
    QList<QKeySequence> sequences;
    if (const CommandDeclaration* declared = declaration(command)) {
        for (const KeyBinding& binding : declared->keys) {
            if (!sequences.contains(binding.sequence()))
                sequences.append(binding.sequence());
        }
    }
    return sequences;
}

Command commandFor(int key, Qt::KeyboardModifiers modifiers, bool editingText)
{
    for (const CommandDeclaration& declared : table()) {
        for (const KeyBinding& binding : declared.keys) {
            if (binding.matches(key, modifiers, editingText))
                return declared.command;
        }
    }
    return Command::letThrough;
}

} // namespace PopoverKeyboardShortcuts
