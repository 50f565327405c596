#include "Views/MenuBar/PopoverScreens.h"

#include "Views/MenuBar/FolderFormView.h"
#include "Views/MenuBar/MainListView.h"
#include "Views/MenuBar/ShortcutFormView.h"
#include "platform/Desktop.h"

#include <QWidget>

namespace {

// An editor screen: built with the state and a copy of the record it edits (none for a new
// one); it leaves through the binding.
template <class Form, class Record>
PopoverScreenFactory editorScreen(const Record* (PopoverScreen::*record)() const)
{
    return [record](const PopoverScreenContext& context) {
        const Record* editing = (context.screen.*record)();
        auto* form = new Form(context.appState, editing ? std::optional(*editing) : std::nullopt);
        QObject::connect(form, &Form::screenRequested, form,
                         [binding = context.binding](const PopoverScreen& screen) { binding.set(screen); });
        return form;
    };
}

} // namespace

PopoverScreens PopoverScreens::standard()
{
    PopoverScreens screens;
    screens.add(PopoverScreen::Kind::main,
                [](const PopoverScreenContext& context) { return new MainListView(context, Desktop::current().trust); });
    const PopoverScreenFactory shortcutForm = editorScreen<ShortcutFormView>(&PopoverScreen::shortcut);
    screens.add(PopoverScreen::Kind::newShortcut, shortcutForm);
    screens.add(PopoverScreen::Kind::editShortcut, shortcutForm);
    const PopoverScreenFactory folderForm = editorScreen<FolderFormView>(&PopoverScreen::group);
    screens.add(PopoverScreen::Kind::newFolder, folderForm);
    screens.add(PopoverScreen::Kind::editFolder, folderForm);
    return screens;
}

void PopoverScreens::add(PopoverScreen::Kind kind, PopoverScreenFactory factory)
{
    m_factories.insert(kind, std::move(factory));
}

QWidget* PopoverScreens::build(const PopoverScreenContext& context) const
{
    auto factory = m_factories.constFind(context.screen.kind());
    if (factory == m_factories.cend())
        factory = m_factories.constFind(PopoverScreen::Kind::main);
    if (factory == m_factories.cend())
        return new QWidget;
    return (*factory)(context);
}
