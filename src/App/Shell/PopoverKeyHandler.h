#pragma once

#include "App/State/PopoverCommands.h"

#include <QObject>

class AppState;
class PopoverWindow;
class QKeyEvent;
class QWidget;

// The popover's keyboard shortcuts: every key pressed in the popover's window goes to the
// command table first, before the focused widget sees it; a key the table consumes goes no
// further. It owns the popover's commands, which the window's content, the status menu and
// the keys share.
//
// Keys no command takes reach the focused widget and, unless it takes them, its ancestors up
// to the popover's content, where Escape and Return become the shown screen's own actions
// (see ScreenKeyActions).
class PopoverKeyHandler : public QObject {
    Q_OBJECT
public:
    // `actions.endEditing` is supplied here: it takes the keyboard away from the text field.
    PopoverKeyHandler(PopoverWindow& window, AppState& state, PopoverCommands::WindowActions actions);
    ~PopoverKeyHandler() override;

    PopoverCommands& commands() { return m_commands; }

    // A text field or a button of the popover has the keyboard.
    bool isEditingText() const;
    // A text field of the popover has the keyboard.
    bool isTypingText() const;
    void endEditing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Return on a focused button presses it; false when the key is not that.
    bool pressFocusedButton(const QKeyEvent& key);
    // Runs the default action of the screen that holds `choice`; false when it has none.
    static bool pressScreensMainButton(const QWidget& choice);
    const QWidget* focusedControl() const;

    PopoverWindow& m_window;
    PopoverCommands m_commands;
};
