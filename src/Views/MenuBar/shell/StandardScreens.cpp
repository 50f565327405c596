#include "Views/MenuBar/shell/StandardScreens.h"

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Views/MenuBar/account/AccountView.h"
#include "Views/MenuBar/achievements/AchievementsView.h"
#include "Views/MenuBar/chooser/IconChooserSheet.h"
#include "Views/MenuBar/forms/FolderFormView.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/settings/SettingsView.h"
#include "Views/MenuBar/stats/StatsView.h"
#include "platform/Desktop.h"

#include <QAction>
#include <QWidget>

namespace {

// An editor screen: built with the state and a copy of the record it edits (none for a new
// one); it leaves through the binding.
template <class Form, class Record> PopoverScreenFactory editorScreen(const Record* (PopoverScreen::*record)() const)
{
    return [record](const PopoverScreenContext& context) {
        const Record* editing = (context.screen.*record)();
        auto* form = new Form(context.appState, editing ? std::optional(*editing) : std::nullopt);
        QObject::connect(form, &Form::screenRequested, form,
            [binding = context.binding](const PopoverScreen& screen) { binding.set(screen); });
        return form;
    };
}

// The folder editor, whose icon row opens the icon chooser over it.
PopoverScreenFactory folderEditorScreen()
{
    return [form = editorScreen<FolderFormView>(&PopoverScreen::group)](const PopoverScreenContext& context) {
        auto* editor = static_cast<FolderFormView*>(form(context));
        AppState* state = &context.appState;
        QObject::connect(
            editor, &FolderFormView::openIconChooser, editor, [editor, state](const std::optional<QString>& current) {
                auto* chooser = new IconChooserSheet(*state, current, editor);
                QObject::connect(chooser, &IconChooserSheet::picked, editor,
                    [editor](const QString& key) { editor->pickIcon(key); });
                QObject::connect(
                    chooser, &IconChooserSheet::iconCleared, editor, [editor] { editor->pickIcon(std::nullopt); });
                QObject::connect(chooser, &IconChooserSheet::dismissed, editor, &FolderFormView::closeIconChooser);
                editor->presentIconChooser(chooser);
                chooser->present();
            });
        return editor;
    };
}

} // namespace

PopoverScreens standardPopoverScreens()
{
    PopoverScreens screens;
    screens.add(PopoverScreen::Kind::main,
        [](const PopoverScreenContext& context) { return new MainListView(context, Desktop::current().trust); });
    const PopoverScreenFactory shortcutForm = editorScreen<ShortcutFormView>(&PopoverScreen::shortcut);
    screens.add(PopoverScreen::Kind::newShortcut, shortcutForm);
    screens.add(PopoverScreen::Kind::editShortcut, shortcutForm);
    const PopoverScreenFactory folderForm = folderEditorScreen();
    screens.add(PopoverScreen::Kind::newFolder, folderForm);
    screens.add(PopoverScreen::Kind::editFolder, folderForm);
    screens.add(PopoverScreen::Kind::settings, [](const PopoverScreenContext& context) {
        QAction* quit = context.commands.action(PopoverCommands::Command::quit);
        return new SettingsView(context.appState, context.binding, [quit] { quit->trigger(); });
    });
    screens.add(PopoverScreen::Kind::stats,
        [](const PopoverScreenContext& context) { return new StatsView(context.appState, context.binding); });
    screens.add(PopoverScreen::Kind::account, [](const PopoverScreenContext& context) -> QWidget* {
        if (!context.account)
            return new MainListView(context, Desktop::current().trust);
        return new AccountView(*context.account, context.binding);
    });
    screens.add(PopoverScreen::Kind::achievements,
        [](const PopoverScreenContext& context) { return new AchievementsView(context.appState, context.binding); });
    return screens;
}
