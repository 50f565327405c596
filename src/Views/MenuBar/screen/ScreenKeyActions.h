#pragma once

class QKeyEvent;
class QWidget;

// Escape and Return for a popover screen. A screen widget that inherits this (next to
// QWidget) is asked when either key reaches the popover without a focused control having
// taken it: a form saves on Return and cancels on Escape, a screen with a layer of its own
// closes the layer first. The list's keys never act while another screen is shown, so this
// is the whole of a screen's keyboard contract.
//
//     class SettingsView : public QWidget, public ScreenKeyActions {
//         bool cancelAction() override { m_screen.set(PopoverScreen::main()); return true; }
//     };
//
// A screen without it lets Escape close the popover and ignores Return.
class ScreenKeyActions {
public:
    virtual ~ScreenKeyActions() = default;

    // Escape. Returns false to let the popover close.
    virtual bool cancelAction() = 0;
    // Return. Returns false when the screen has no default action.
    virtual bool defaultAction() { return false; }

    // Hands a plain Escape or Return to `screen` when it implements this; returns whether the
    // screen took the key.
    static bool dispatch(QWidget* screen, const QKeyEvent* event);
};
