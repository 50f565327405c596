#pragma once

#include <QtGlobal>
#include <functional>

// Keeps what the user types away from every application for a moment, so that a field being
// edited on the user's behalf cannot receive a key in the middle of the edit. Held keys are
// not lost: on release they go to the window that has the keyboard, in the order they were
// typed and with the modifiers they were typed with, and the event source reports them then,
// as the user's typing. Keys the caller posts through the KeyboardPoster while holding still
// reach that window. Main thread only.
class KeyboardHold {
public:
    virtual ~KeyboardHold() = default;

    // Starts holding. The hold ends by itself after `longestSeconds`, as if released then.
    // `userData` comes back on the modifier presses and releases the hold makes around a
    // held key when it types it again (as with KeyboardPoster::post). False when the desktop
    // refuses (another program holds the keyboard): keys then go on as usual.
    virtual bool hold(double longestSeconds, quint64 userData) = 0;

    // Ends the hold and types the held keys again. Does nothing when not holding.
    virtual void release() = 0;

    virtual bool isHolding() const = 0;

    // Runs `work` on the main thread once nothing is held any more and every held key has
    // been typed again (at once when that is so already).
    virtual void afterRelease(std::function<void()> work) = 0;

    // Whether a selection the caller made in the focused field stands with no paste sent over
    // it yet. Should the hold end without the caller (its process killed or stuck), the held
    // keys would type over that selection: it is collapsed to its end before they go. Ends
    // with the hold.
    virtual void setSelectionAwaitingPaste(bool awaiting) { (void)awaiting; }
    // The caller's next keys are the paste over that selection (true until they went out, or
    // false when they could not be sent). Once they have gone out, the selection is not
    // collapsed: the paste is on its way, and a key typed behind it may reach the field while
    // the field is still fetching what it pastes.
    virtual void setPasteGoingOut(bool going) { (void)going; }
};
