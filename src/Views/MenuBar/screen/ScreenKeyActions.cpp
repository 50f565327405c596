#include "Views/MenuBar/screen/ScreenKeyActions.h"

#include <QKeyEvent>
#include <QWidget>

bool ScreenKeyActions::dispatch(QWidget* screen, const QKeyEvent* event)
{
    auto* actions = dynamic_cast<ScreenKeyActions*>(screen);
    if (!actions)
        return false;
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if (event->key() == Qt::Key_Escape)
        return actions->cancelAction();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return actions->defaultAction();
    return false;
}
