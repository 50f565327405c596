#pragma once

class Accessibility;
class AccessibilityTrust;
class EventSource;
class KeyboardHold;
class KeyboardPoster;
class Pasteboard;
class PrimarySelection;
class TextFieldEvents;
class Workspace;

// The desktop services the expansion engine works through. main() installs the Linux back
// ends before anything uses them; tests install doubles. Not owned; each must outlive its
// users.
struct Desktop {
    EventSource* eventSource = nullptr;
    Accessibility* accessibility = nullptr;
    AccessibilityTrust* trust = nullptr;
    KeyboardPoster* keyboard = nullptr;
    Pasteboard* pasteboard = nullptr;
    Workspace* workspace = nullptr;
    // Optional: without one, keys typed during a replacement go on to the field unheld.
    KeyboardHold* keyboardHold = nullptr;
    // Optional: without one, a selection that a replacement made another program take is lost.
    PrimarySelection* primarySelection = nullptr;
    // Set on desktops where typing is followed through the fields' own reports instead of
    // keys (Wayland); the engine then edits fields by offsets and never pastes.
    TextFieldEvents* textFieldEvents = nullptr;
    // Set where fields followed through their reports can also be pasted into: `keyboard` and
    // `pasteboard` then reach the focused window and the clipboard without a window of ours
    // having the focus (a wlroots compositor's virtual keyboard and data control; elsewhere the
    // desktop portal's remote-desktop keyboard and the clipboard of the compositor's XWayland). Fields whose
    // text cannot be edited by offsets get the expansion pasted over the selected trigger.
    bool pastesIntoFields = false;

    bool isComplete() const;

    // The installed desktop; every member is null until one is installed.
    static const Desktop& current();
    static void setCurrent(const Desktop& desktop);
};
