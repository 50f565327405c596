#pragma once

#include "App/PopoverCommands.h"

#include <QObject>

class AppState;
class PopoverWindow;

// The popover's keyboard shortcuts: every key pressed in the popover's window goes to the
// command table first, before the focused widget sees it; a key the table consumes goes no
// further.
class PopoverKeyHandler : public QObject {
    Q_OBJECT
public:
    // `actions.endEditing` is supplied here: it takes the keyboard away from the text field.
    PopoverKeyHandler(PopoverWindow& window, AppState& state, PopoverCommands::WindowActions actions);
    ~PopoverKeyHandler() override;

    // A text field or a button of the popover has the keyboard.
    bool isEditingText() const;
    void endEditing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PopoverWindow& m_window;
    PopoverCommands m_commands;
};
