#pragma once

#include "Views/MenuBar/screen/PopoverScreen.h"
#include "Views/MenuBar/screen/ScreenBinding.h"

#include <QMap>
#include <functional>

class AppState;
struct AccountServices;
class PopoverCommands;
class QWidget;

// What a screen is built with: the state, the screen value it shows (with the record an
// editor edits), the binding through which it leaves, the popover's commands (for the
// menus that offer them, Quit among them), and the account and sync objects when the
// application has them. A screen that handles Escape or Return itself
// implements ScreenKeyActions.
struct PopoverScreenContext {
    AppState& appState;
    PopoverScreen screen;
    ScreenBinding binding;
    PopoverCommands& commands;
    const AccountServices* account = nullptr;
};

using PopoverScreenFactory = std::function<QWidget*(const PopoverScreenContext&)>;

// The popover's screen switch: one factory per kind of screen. A kind without a factory is
// shown with the main screen's, so the popover always shows something.
class PopoverScreens {
public:
    void add(PopoverScreen::Kind kind, const PopoverScreenFactory& factory);
    bool contains(PopoverScreen::Kind kind) const { return m_factories.contains(kind); }

    // A new widget for `context.screen`, not parented.
    QWidget* build(const PopoverScreenContext& context) const;

private:
    QMap<PopoverScreen::Kind, PopoverScreenFactory> m_factories;
};
