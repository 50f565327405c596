#include "App/AppState.h"
#include "App/PopoverCommands.h"
#include "App/StatusMenuText.h"
#include "Models/Stats.h"
#include "Persistence/LocalStore.h"
#include "TempDir.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"

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

namespace {
struct PopoverCommandsTest : ::testing::Test {
    TempDir dir;
    LocalStore store{dir.path()};
    AppState state{store};
    QStringList windowCalls;
    PopoverCommands commands{state,
        {[this] { windowCalls << QStringLiteral("quit"); },
            [this] { windowCalls << QStringLiteral("close"); },
            [this] { windowCalls << QStringLiteral("endEditing"); }}};
    QStringList posted;
    QObject context;

    void SetUp() override
    {
        for (const QString& name : {Notifications::velmoraEditShortcut, Notifications::velmoraMoveSelection,
                 Notifications::velmoraNewFolder})
            NotificationCenter::instance().observe(name, &context, [this, name](const QVariant&) { posted << name; });
        state.updateSettings([](AppSettings& s) { s.confirmDelete = false; });
    }
    QString idOf(const QString& trigger) const
    {
        for (const Shortcut& s : state.userData().shortcuts) {
            if (s.trigger == trigger)
                return s.id;
        }
        return {};
    }
};
} // namespace

TEST_F(PopoverCommandsTest, CountedToastsUseSingularAndPlural)
{
    state.addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt);
    state.addShortcut(QStringLiteral("/b"), QStringLiteral("x"), std::nullopt);
    state.addShortcut(QStringLiteral("/c"), QStringLiteral("x"), std::nullopt);
    ToastManager::shared().show(QStringLiteral("before"));
    EXPECT_TRUE(commands.handle(Qt::Key_C, ctrl, false));
    EXPECT_EQ(ToastManager::shared().message(), QStringLiteral("before"));
    state.setSelectedIds({idOf(QStringLiteral("/a"))});
    commands.handle(Qt::Key_C, ctrl, false);
    EXPECT_EQ(ToastManager::shared().message(), QStringLiteral("Copied 1 item"));
    state.selectAll();
    commands.handle(Qt::Key_D, ctrl, false);
    EXPECT_EQ(ToastManager::shared().message(), QStringLiteral("Duplicated 3 items"));
}

TEST_F(PopoverCommandsTest, ReturnOpensAFolderOrEditsAShortcut)
{
    const QString folder = *state.addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt,
        QStringLiteral("private"));
    state.addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt);
    EXPECT_FALSE(commands.handle(Qt::Key_Return, none, false));
    state.setSearchQuery(QStringLiteral("wo"));
    state.setSelectedIds({folder});
    EXPECT_TRUE(commands.handle(Qt::Key_Return, none, false));
    EXPECT_EQ(state.currentGroupId(), folder);
    EXPECT_TRUE(state.searchQuery().isEmpty());
    EXPECT_TRUE(state.selectedIds().isEmpty());
    state.setSelectedIds({idOf(QStringLiteral("/a"))});
    commands.handle(Qt::Key_Return, none, false);
    EXPECT_EQ(posted, QStringList({Notifications::velmoraEditShortcut}));
}

TEST_F(PopoverCommandsTest, EscapeAndDeleteClearTheSelectionOrGoUpAndLetThroughAtTheTop)
{
    const QString outer = *state.addGroup(QStringLiteral("Outer"), std::nullopt, std::nullopt, std::nullopt,
        QStringLiteral("private"));
    const QString inner = *state.addGroup(QStringLiteral("Inner"), outer, std::nullopt, std::nullopt,
        QStringLiteral("private"));
    state.setCurrentGroupId(inner);
    state.setSelectedIds({outer});
    EXPECT_TRUE(commands.handle(Qt::Key_Escape, none, false));
    EXPECT_TRUE(state.selectedIds().isEmpty());
    EXPECT_TRUE(commands.handle(Qt::Key_Escape, none, false));
    EXPECT_EQ(state.currentGroupId(), outer);
    EXPECT_TRUE(commands.handle(Qt::Key_Backspace, none, false));
    EXPECT_FALSE(state.currentGroupId());
    EXPECT_FALSE(commands.handle(Qt::Key_Escape, none, false));
    EXPECT_FALSE(commands.handle(Qt::Key_Backspace, none, false));
    EXPECT_TRUE(commands.handle(Qt::Key_Return, shift, false));
}

TEST_F(PopoverCommandsTest, APendingQuestionKeepsReturnAndEscapeForItself)
{
    state.addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt);
    state.setSelectedIds({idOf(QStringLiteral("/a"))});
    state.requestConfirmation({QStringLiteral("Delete?"), std::nullopt, QStringLiteral("Delete"), std::nullopt, true, [] {}});
    EXPECT_FALSE(commands.handle(Qt::Key_Return, none, false));
    EXPECT_FALSE(commands.handle(Qt::Key_Escape, none, false));
    EXPECT_EQ(state.selectedIds().size(), 1);
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(PopoverCommandsTest, PasteSaysSoOnlyWhenSomethingWasAdded)
{
    ToastManager::shared().show(QStringLiteral("before"));
    EXPECT_TRUE(commands.handle(Qt::Key_V, ctrl, false));
    EXPECT_EQ(ToastManager::shared().message(), QStringLiteral("before"));
}

TEST_F(PopoverCommandsTest, WindowCommandsAreHandedBack)
{
    commands.handle(Qt::Key_Escape, none, true);
    commands.handle(Qt::Key_W, ctrl, true);
    commands.handle(Qt::Key_Q, ctrl, false);
    EXPECT_EQ(windowCalls, QStringList({"endEditing", "close", "quit"}));
    commands.handle(Qt::Key_N, ctrl | shift, false);
    commands.handle(Qt::Key_Left, none, false);
    EXPECT_EQ(posted, QStringList({Notifications::velmoraNewFolder, Notifications::velmoraMoveSelection}));
}

TEST_F(PopoverCommandsTest, NothingActsWhileStorageIsNotReady)
{
    dir.write(QStringLiteral("data.json"), "{ damaged");
    LocalStore damaged(dir.path());
    AppState broken(damaged);
    PopoverCommands blocked(broken, {});
    EXPECT_FALSE(blocked.handle(Qt::Key_A, ctrl, false));
    EXPECT_FALSE(blocked.handle(Qt::Key_W, ctrl, false));
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
