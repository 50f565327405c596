#include "Views/MenuBar/screen/PopoverScreens.h"

#include <QWidget>

void PopoverScreens::add(PopoverScreen::Kind kind, const PopoverScreenFactory& factory)
{
    m_factories.insert(kind, factory);
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
