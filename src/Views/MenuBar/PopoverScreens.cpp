#include "Views/MenuBar/PopoverScreens.h"

#include "Views/MenuBar/MainListView.h"
#include "Views/MenuBar/ShortcutFormView.h"
#include "platform/Desktop.h"

#include <QWidget>

PopoverScreens PopoverScreens::standard()
{
    PopoverScreens screens;
    screens.add(PopoverScreen::Kind::main,
                [](const PopoverScreenContext& context) { return new MainListView(context, Desktop::current().trust); });
    const PopoverScreenFactory shortcutForm = [](const PopoverScreenContext& context) {
        const Shortcut* editing = context.screen.shortcut();
        auto* form = new ShortcutFormView(context.appState, editing ? std::optional(*editing) : std::nullopt);
        QObject::connect(form, &ShortcutFormView::screenRequested, form,
                         [binding = context.binding](const PopoverScreen& screen) { binding.set(screen); });
        return form;
    };
    screens.add(PopoverScreen::Kind::newShortcut, shortcutForm);
    screens.add(PopoverScreen::Kind::editShortcut, shortcutForm);
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
