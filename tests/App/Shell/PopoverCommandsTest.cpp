#include "App/State/PopoverCommands.h"
#include "App/State/AppState.h"
#include "Persistence/LocalStore.h"
#include "TempDir.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"

#include <QAction>
#include <gtest/gtest.h>

namespace {
constexpr auto none = Qt::NoModifier;
constexpr auto ctrl = Qt::ControlModifier;
constexpr auto shift = Qt::ShiftModifier;
} // namespace

namespace {
struct PopoverCommandsTest : ::testing::Test {
    TempDir dir;
    LocalStore store{dir.path()};
    AppState state{store};
    QStringList windowCalls;
    PopoverCommands commands{state,
        {[this] { windowCalls << QStringLiteral("quit"); }, [this] { windowCalls << QStringLiteral("close"); },
            [this] { windowCalls << QStringLiteral("endEditing"); }, {}}};
    QStringList posted;
    QObject context;

    void SetUp() override
    {
        for (const QString& name :
            {Notifications::velmoraEditShortcut, Notifications::velmoraMoveSelection, Notifications::velmoraNewFolder})
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

TEST_F(PopoverCommandsTest, MenusShowTheKeysThatRunTheCommand)
{
    for (const PopoverKeyboardShortcuts::CommandDeclaration& declared : PopoverKeyboardShortcuts::table()) {
        const QAction* action = commands.action(declared.command);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), declared.title);
        EXPECT_EQ(action->shortcut().isEmpty(), declared.keys.isEmpty()) << declared.title.toStdString();
        for (const QKeySequence& shown : action->shortcuts()) {
            const QKeyCombination combination = shown[0];
            const int key = combination.key();
            const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
            EXPECT_TRUE(PopoverKeyboardShortcuts::commandFor(key, modifiers, false) == declared.command
                || PopoverKeyboardShortcuts::commandFor(key, modifiers, true) == declared.command)
                << shown.toString().toStdString() << " does not run " << declared.title.toStdString();
        }
    }
}

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
    const QString folder
        = *state.addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
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
    const QString outer
        = *state.addGroup(QStringLiteral("Outer"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    const QString inner
        = *state.addGroup(QStringLiteral("Inner"), outer, std::nullopt, std::nullopt, QStringLiteral("private"));
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
    state.requestConfirmation(
        {QStringLiteral("Delete?"), std::nullopt, QStringLiteral("Delete"), std::nullopt, true, [] {}});
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
