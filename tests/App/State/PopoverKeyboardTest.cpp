#include "App/State/PopoverKeyboardShortcuts.h"
#include "App/State/StatusMenuText.h"
#include "Models/Stats.h"

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
