#include "App/State/PopoverKeyboardShortcuts.h"
#include "App/State/StatusMenuText.h"
#include "Models/Stats.h"

#include <QFile>
#include <gtest/gtest.h>

using PopoverKeyboardShortcuts::Command;
using PopoverKeyboardShortcuts::commandFor;

namespace {
constexpr auto none = Qt::NoModifier;
constexpr auto ctrl = Qt::ControlModifier;
constexpr auto alt = Qt::AltModifier;
constexpr auto shift = Qt::ShiftModifier;

struct Row {
    int key;
    Qt::KeyboardModifiers modifiers;
    bool editing;
    Command expected;
};
} // namespace

TEST(PopoverKeyboardShortcuts, TheTableMapsEveryKeyToItsCommand)
{
    const Row rows[] = {
        // While a text field is being edited only these act.
        {Qt::Key_Escape, none, true, Command::endEditing},
        {Qt::Key_Escape, ctrl, true, Command::endEditing},
        {Qt::Key_Escape, ctrl | alt, true, Command::endEditing},
        {Qt::Key_Escape, alt, true, Command::letThrough},
        {Qt::Key_F, ctrl, true, Command::focusSearch},
        {Qt::Key_Q, ctrl, true, Command::quit},
        {Qt::Key_W, ctrl, true, Command::closePopover},
        {Qt::Key_Comma, ctrl, true, Command::openSettings},
        {Qt::Key_N, ctrl, true, Command::newShortcut},
        {Qt::Key_N, ctrl | shift, true, Command::newFolder},
        {Qt::Key_A, ctrl, true, Command::letThrough},
        {Qt::Key_C, ctrl, true, Command::letThrough},
        {Qt::Key_V, ctrl, true, Command::letThrough},
        {Qt::Key_Z, ctrl, true, Command::letThrough},
        {Qt::Key_Up, none, true, Command::letThrough},
        // Otherwise.
        {Qt::Key_A, ctrl, false, Command::selectAll},
        {Qt::Key_D, ctrl, false, Command::duplicateSelected},
        {Qt::Key_F, ctrl, false, Command::focusSearch},
        {Qt::Key_Z, ctrl, false, Command::undo},
        {Qt::Key_Z, ctrl | shift, false, Command::redo},
        {Qt::Key_Y, ctrl, false, Command::redo},
        {Qt::Key_C, ctrl, false, Command::copySelected},
        {Qt::Key_V, ctrl, false, Command::paste},
        {Qt::Key_N, ctrl | shift, false, Command::newFolder},
        {Qt::Key_Return, ctrl, false, Command::openSelected},
        {Qt::Key_Backspace, ctrl, false, Command::deleteOrGoUp},
        {Qt::Key_Escape, ctrl, false, Command::escape},
        {Qt::Key_Up, none, false, Command::moveSelectionUp},
        {Qt::Key_Down, ctrl, false, Command::moveSelectionDown},
        {Qt::Key_Left, ctrl | alt, false, Command::moveSelectionLeft},
        {Qt::Key_Up, alt, false, Command::moveItemUp},
        {Qt::Key_Down, alt, false, Command::moveItemDown},
        {Qt::Key_Right, alt, false, Command::moveSelectionRight},
        {Qt::Key_Up, shift, false, Command::letThrough},
        {Qt::Key_Return, none, false, Command::openSelected},
        {Qt::Key_Enter, alt, false, Command::openSelected},
        {Qt::Key_Return, shift, false, Command::goUp},
        {Qt::Key_Backspace, none, false, Command::deleteOrGoUp},
        {Qt::Key_Delete, alt, false, Command::deleteOrGoUp},
        {Qt::Key_Escape, ctrl | alt, false, Command::escape},
        {Qt::Key_Backspace, shift, false, Command::letThrough},
        {Qt::Key_Menu, none, false, Command::openSelectionMenu},
        {Qt::Key_F10, shift, false, Command::openSelectionMenu},
        {Qt::Key_F10, none, false, Command::letThrough},
        {Qt::Key_Menu, none, true, Command::letThrough},
        {Qt::Key_B, ctrl, false, Command::letThrough},
        {Qt::Key_X, none, false, Command::letThrough},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(commandFor(row.key, row.modifiers, row.editing), row.expected)
            << "key " << row.key << " modifiers " << row.modifiers.toInt() << " editing " << row.editing;
    }
}

TEST(PopoverKeyboardShortcuts, OnlyNewItemsSearchSettingsScreensCloseAndQuitActEverywhere)
{
    for (const Command command : {Command::newShortcut, Command::newFolder, Command::focusSearch, Command::openSettings,
             Command::openAccount, Command::closePopover, Command::quit})
        EXPECT_TRUE(PopoverKeyboardShortcuts::isAppWide(command));
    for (const Command command : {Command::endEditing, Command::selectAll, Command::paste, Command::undo,
             Command::moveSelectionUp, Command::openSelected, Command::deleteOrGoUp, Command::escape})
        EXPECT_FALSE(PopoverKeyboardShortcuts::isAppWide(command));
}

namespace {
using PopoverKeyboardShortcuts::CommandDeclaration;
using PopoverKeyboardShortcuts::KeyBinding;
using PopoverKeyboardShortcuts::When;

// Every combination of Ctrl, Alt and Shift.
QList<Qt::KeyboardModifiers> everyModifierSet()
{
    QList<Qt::KeyboardModifiers> sets;
    for (int bits = 0; bits < 8; ++bits) {
        Qt::KeyboardModifiers set;
        set.setFlag(Qt::ControlModifier, bits & 1);
        set.setFlag(Qt::AltModifier, bits & 2);
        set.setFlag(Qt::ShiftModifier, bits & 4);
        sets.append(set);
    }
    return sets;
}

QList<bool> editingStates(When when)
{
    switch (when) {
    case When::editingText: return {true};
    case When::notEditingText: return {false};
    case When::always: return {false, true};
    }
    return {};
}
} // namespace

TEST(PopoverKeyboardShortcuts, EveryCommandIsDeclaredOnce)
{
    QList<Command> declared;
    for (const CommandDeclaration& declaration : PopoverKeyboardShortcuts::table()) {
        EXPECT_FALSE(declared.contains(declaration.command)) << int(declaration.command);
        EXPECT_FALSE(declaration.title.isEmpty()) << int(declaration.command);
        declared.append(declaration.command);
    }
    EXPECT_FALSE(declared.contains(Command::letThrough));
    for (int command = int(Command::letThrough) + 1; command <= int(Command::openStatistics); ++command)
        EXPECT_TRUE(declared.contains(Command(command))) << command;
}

TEST(PopoverKeyboardShortcuts, EveryDeclaredKeyRunsItsCommandWithEveryModifierItAllows)
{
    for (const CommandDeclaration& declaration : PopoverKeyboardShortcuts::table()) {
        for (const KeyBinding& binding : declaration.keys) {
            for (const Qt::KeyboardModifiers extra : everyModifierSet()) {
                if ((extra & ~binding.alsoHeld) != Qt::NoModifier)
                    continue;
                for (const bool editing : editingStates(binding.when)) {
                    EXPECT_EQ(commandFor(binding.key, binding.modifiers | extra, editing), declaration.command)
                        << "key " << binding.key << " modifiers " << (binding.modifiers | extra).toInt() << " editing "
                        << editing;
                }
            }
        }
    }
}

TEST(PopoverKeyboardShortcuts, NoKeyMeansTwoCommandsAndUndeclaredKeysPassThrough)
{
    QList<int> keys = {Qt::Key_Enter, Qt::Key_X, Qt::Key_1, Qt::Key_Tab, Qt::Key_Space};
    for (const CommandDeclaration& declaration : PopoverKeyboardShortcuts::table()) {
        for (const KeyBinding& binding : declaration.keys)
            keys.append(binding.key);
    }
    for (const int key : keys) {
        for (const Qt::KeyboardModifiers modifiers : everyModifierSet()) {
            for (const bool editing : {false, true}) {
                int matching = 0;
                for (const CommandDeclaration& declaration : PopoverKeyboardShortcuts::table()) {
                    for (const KeyBinding& binding : declaration.keys)
                        matching += binding.matches(key, modifiers, editing) ? 1 : 0;
                }
                EXPECT_LE(matching, 1) << "key " << key << " modifiers " << modifiers.toInt() << " editing " << editing;
                if (matching == 0) {
                    EXPECT_EQ(commandFor(key, modifiers, editing), Command::letThrough);
                }
            }
        }
    }
}

TEST(StatusMenuText, StatisticsLineUsesSecondsThenMinutes)
{
    Stats stats = Stats::empty();
    stats.totalExpansions = 12;
    stats.totalTimeSaved = 59.9;
    EXPECT_EQ(StatusMenuText::statisticsLine(stats), QStringLiteral("12 expansions \u2022 59s saved"));
    stats.totalTimeSaved = 90;
    EXPECT_EQ(StatusMenuText::statisticsLine(stats), QStringLiteral("12 expansions \u2022 1.5m saved"));
    EXPECT_EQ(StatusMenuText::expansionToggleTitle(true), QStringLiteral("Disable Expansion"));
    EXPECT_EQ(StatusMenuText::expansionToggleTitle(false), QStringLiteral("Enable Expansion"));
}

// The README's list of keys is written by hand; every command's key as its menus show it must
// be in it.
TEST(PopoverKeyboardShortcuts, TheReadmeListsTheKeyOfEveryCommand)
{
    QFile readme(QStringLiteral(VELMORA_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    for (const PopoverKeyboardShortcuts::CommandDeclaration& declared : PopoverKeyboardShortcuts::table()) {
        if (declared.keys.isEmpty())
            continue;
        const QString key = declared.keys.first().sequence().toString(QKeySequence::PortableText);
        EXPECT_TRUE(text.contains(u'`' + key + u'`')) << declared.title.toStdString() << ": " << key.toStdString();
    }
}
