#pragma once

class QWidget;

// The keyboard under layers that cover a window's content (a question, a sheet, the icon
// chooser, the recovery screen): while one is up the keyboard stays in the topmost, as a
// sighted user sees only it, and when it goes the keyboard goes back to where it was when it
// came. Tab and Backtab go round its controls; focus set on something it covers (a field left
// with Escape handing the keyboard to the popover, a screen focusing its first field) is
// handed to the layer itself, which is named and takes Escape.
namespace ModalLayers {

// `layer` covers what lies under it in its window while it is visible. Called once, by
// `AccessibleRoles::markModalLayer`.
void add(QWidget* layer);

// `layer` is on its way out (fading away): it no longer holds the keyboard, and the keyboard
// it holds goes back to where it was when it showed. A layer that simply hides needs no call.
void release(QWidget* layer);

// The topmost layer shown in `widget`'s window, or null.
QWidget* top(const QWidget* widget);

// Whether a layer is up in `widget`'s window: shown, or shown again when the hidden window is
// (a sheet left open when the popover closed).
bool anyUp(const QWidget* widget);

// Whether `widget` lies under the topmost layer of its window.
bool isCovered(const QWidget* widget);

// Moves the keyboard to the next (or previous) control of the topmost layer in `widget`'s
// window, round its controls; the first (or last) one when the keyboard is not among them.
// False, with nothing done, when no layer is shown there.
bool focusNextInside(const QWidget* widget, bool next);

} // namespace ModalLayers
