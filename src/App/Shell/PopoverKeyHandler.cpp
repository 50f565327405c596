#include "App/Shell/PopoverKeyHandler.h"

#include "App/Shell/PopoverWindow.h"
#include "Views/Components/ModalLayers.h"
#include "Views/MenuBar/screen/ScreenKeyActions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

namespace {

PopoverCommands::WindowActions withEndEditing(PopoverCommands::WindowActions actions, PopoverKeyHandler* handler)
{
    actions.endEditing = [handler] { handler->endEditing(); };
    actions.typingText = [handler] { return handler->isTypingText(); };
    return actions;
}

} // namespace

PopoverKeyHandler::PopoverKeyHandler(PopoverWindow& window, AppState& state, PopoverCommands::WindowActions actions)
    : QObject(&window)
    , m_window(window)
    , m_commands(state, withEndEditing(std::move(actions), this))
{
    // The window's native side may not exist yet (it is made when first shown), so the
    // application's filter picks out the key presses that reach it.
    qApp->installEventFilter(this);
}

PopoverKeyHandler::~PopoverKeyHandler()
{
    qApp->removeEventFilter(this);
}

bool PopoverKeyHandler::isEditingText() const
{
    // A button reached with Tab takes Return and Space itself (Save in a form), so it counts
    // like a text field: the list's shortcuts must not act on a selection behind it.
    return isTypingText() || qobject_cast<const QAbstractButton*>(focusedControl());
}

bool PopoverKeyHandler::isTypingText() const
{
    const QWidget* focus = focusedControl();
    return focus && focus->testAttribute(Qt::WA_InputMethodEnabled);
}

const QWidget* PopoverKeyHandler::focusedControl() const
{
    const QWidget* focus = m_window.focusWidget();
    return focus && focus->isVisible() && focus->isEnabled() ? focus : nullptr;
}

void PopoverKeyHandler::endEditing()
{
    if (QWidget* focus = m_window.focusWidget())
        focus->clearFocus();
    // Keys go on to the popover's content, which closes on Escape, or to the sheet or question
    // laid over it, which closes on Escape in turn: the keyboard never goes under a layer.
    if (QWidget* content = m_window.content()) {
        QWidget* layer = ModalLayers::top(content);
        (layer ? layer : content)->setFocus(Qt::OtherFocusReason);
    }
}

bool PopoverKeyHandler::eventFilter(QObject* watched, QEvent* event)
{
    // A key press reaches the window first and then the focused widget; it is taken on its
    // way to the window, before any widget has seen it.
    if (event->type() != QEvent::KeyPress || !m_window.windowHandle() || watched != m_window.windowHandle())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (pressFocusedButton(*key))
        return true;
    return m_commands.handle(key->key(), key->modifiers(), isEditingText());
}

bool PopoverKeyHandler::pressFocusedButton(const QKeyEvent& key)
{
    // Qt's buttons answer Space only; Return would travel on to the screen and act as its
    // default button (Save) whichever button had the focus. Here both keys press the
    // focused button, as users expect.
    if ((key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)
        || (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key.isAutoRepeat())
        return false;
    auto* button = qobject_cast<QAbstractButton*>(m_window.focusWidget());
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    if (button->isCheckable() && pressScreensMainButton(*button))
        return true;
    button->click();
    return true;
}

bool PopoverKeyHandler::pressScreensMainButton(const QWidget& choice)
{
    // A choice (a colour, Public or Private) is made with Space or a click; Return on it
    // presses the main button of its screen, as in any dialog. A layer's choices (the
    // chooser's tabs) never reach the screen beneath, and a screen without a main button
    // (settings, the badges' filters) lets Return make the choice.
    for (QWidget* around = choice.parentWidget(); around; around = around->parentWidget()) {
        if (ModalLayers::top(around) == around)
            return false;
        if (auto* screen = dynamic_cast<ScreenKeyActions*>(around))
            return screen->defaultAction();
    }
    return false;
}
