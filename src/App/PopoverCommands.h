#pragma once

#include "App/PopoverKeyboardShortcuts.h"

#include <functional>

class AppState;

// Carries out the popover's keyboard commands on the application state and the in-process
// notifications. What only the window can do (quit, close, end editing) is handed back.
class PopoverCommands {
public:
    struct WindowActions {
        std::function<void()> quit;
        std::function<void()> closePopover;
        std::function<void()> endEditing;
    };

    PopoverCommands(AppState& state, WindowActions actions);

    // Returns whether the key press was consumed. Nothing acts while storage is not ready or
    // while a confirmation is pending.
    bool handle(int key, Qt::KeyboardModifiers modifiers, bool editingText);
    bool perform(PopoverKeyboardShortcuts::Command command);

private:
    bool openSelected();
    void goUp();
    static QString itemCount(qsizetype count);

    AppState& m_state;
    WindowActions m_actions;
};
