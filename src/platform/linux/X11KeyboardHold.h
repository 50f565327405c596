#pragma once

#include "Utilities/Scheduler.h"
#include "platform/KeyboardHold.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class PostedKeyLedger;
class X11Connection;
class X11HoldWatchdog;
class X11KeyboardLayout;
class QSocketNotifier;
union _XEvent;
typedef struct _XDisplay Display;
typedef unsigned long Window;

// Holds keys on X11 with an active keyboard grab: the server then sends every key to us
// instead. The grab window is an input-only window of ours placed inside the window that has
// the input focus, out of sight: the server announces a grab as the focus moving to the grab
// window, and a move into a window's own inferior is one that toolkits take as no change (a
// grab on the focus window itself is announced as focus going out and in again, and Gecko then
// puts the caret of an editable region back at its start). The input focus itself stays where
// it was, so the field keeps its focus and selection. RECORD still
// reports the grabbed keys; the event source asks claimRecorded() and drops them. On release
// the held keys are typed again through XTest in one batch, in their order, and the next batch
// (the keys typed meanwhile) goes only once RECORD has reported the last key of this one back:
// the engine has then read them all, and a key among them that completed another trigger has
// started a new hold (the keys behind it in the batch are those a busy engine sees reach the
// field before its hold). So held keys go back as fast as they came, whatever the round trip
// costs, and the hold ends with nothing left held. The grab stays on while they are typed: a
// batch goes out between an ungrab and a new grab, under a server grab, so that no other
// program's request comes in between. Inside a server grab only the server itself
// is waited for, never another program or our event loop. Someone typing through XTest types
// on the very device our keys go through: each key typed again leaves that device's keys as it
// found them, so that theirs, coming in between, are never taken as repeats or ignored.
//
// The keyboard must never stay grabbed because this process is stuck or stopped: the hold
// grabs through a connection of its own, which a watchdog process ends when the main thread
// has made no progress with the hold for a while; the server then drops the grab, and the
// connection is opened again. The watchdog types the held keys then, in their order: those
// the hold had read (it keeps the watchdog told of them) and those still on the connection.
class X11KeyboardHold final : public QObject, public KeyboardHold {
    Q_OBJECT
public:
    // How long a batch of keys typed again may take to come back through RECORD before the
    // next one goes anyway.
    static constexpr double echoTimeout = 0.1;
    // How long the event source may take to report a grabbed key before it is forgotten.
    static constexpr int unrecordedLifetimeMilliseconds = 1000;
    // How much longer than asked the watchdog lets a hold last, and how long typing held
    // keys again may stall, before it lets go of the keyboard.
    static constexpr double watchdogGraceSeconds = 0.15;
    static constexpr double watchdogStallSeconds = 0.5;

    X11KeyboardHold(
        std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger);
    ~X11KeyboardHold() override;

    bool hold(double longestSeconds, quint64 userData) override;
    void release() override;
    // Not once the watchdog has let go of the keyboard, even before this process notices.
    bool isHolding() const override { return isHeldState() && !watchdogHasLetGo(); }
    void afterRelease(std::function<void()> work) override;
    void setSelectionAwaitingPaste(bool awaiting) override;
    void setPasteGoingOut(bool going) override;

    // The hold's own connection, through which keys posted while holding must go (a server
    // grab of the hold lets no other connection's request through).
    Display* display();
    // For Xlib, when the hold's connection broke.
    void noteConnectionLost();
    // The last hold was ended by the watchdog, and no hold began since: keys meant for a field
    // under the hold would now land behind keys that reached it since.
    bool endedByWatchdog() const { return m_endedByWatchdog || (isHeldState() && watchdogHasLetGo()); }

    // For the event source: true when the recorded key went to our grab; it is typed again
    // later and must not count now.
    bool claimRecorded(bool press, unsigned keyCode, unsigned long time);
    // For the event source: a key typed again has come back through RECORD and was handled.
    void typedAgain(bool press, unsigned keyCode);
    // For the poster: lets its keys through to the focused window; resume() grabs again.
    // Both only queue requests, so that nothing else comes between them and the keys.
    void suspend();
    void resume();

private:
    // Where the hold stands; the grab is on in every state but `free` and `holdingUngrabbed`.
    //   free -> holding                  hold(): the keyboard is grabbed
    //   holding -> typingAgain           release(), or the hold's time is up
    //   typingAgain -> awaitingEcho      the held keys went out again, up to any the user
    //                                    holds down right now
    //   typingAgain -> awaitingRelease   the next held key is down by the user right now
    //   awaitingEcho -> typingAgain      RECORD reported the batch's last key back, or took
    //                                    too long
    //   awaitingRelease -> typingAgain   the user let go of it, or took too long
    //   typingAgain -> free              nothing left held: the grab ends
    //   any grabbed state -> holding     hold() again (a key typed again may complete a trigger)
    //   holding -> holdingUngrabbed      the grab could not be taken back after posted keys
    //   any -> free                      the grab is lost (its window went, the watchdog ended
    //                                    the connection): what is held goes out at once (what
    //                                    the watchdog typed as it let go is dropped)
    enum class State { free, holding, holdingUngrabbed, typingAgain, awaitingEcho, awaitingRelease };

    struct HeldKey {
        bool press;
        unsigned keyCode;
        unsigned state;
        unsigned long time;
        // The window that had the focus when it was typed; 0: whichever has it when it goes.
        Window window = 0;
    };
    // Where the focus was before held keys went to the window they were typed in.
    struct FocusBefore {
        bool known = false;
        Window window = 0;
        int revert = 0;
        // Where the keys go now.
        Window current = 0;
    };
    struct UnrecordedKey {
        HeldKey key;
        QDeadlineTimer deadline;
    };

    struct TestKeyboard;

    bool isGrabbed() const { return m_state != State::free && m_state != State::holdingUngrabbed; }
    bool isHeldState() const { return m_state == State::holding || m_state == State::holdingUngrabbed; }
    void enter(State state);
    // The grab is gone: a hold asked for carries on without it, anything else is over.
    void grabLost();
    bool grab(Window window);
    void ungrab();
    // The window to grab on while `focus` has the input focus (see the class comment).
    Window grabWindowIn(Window focus);
    void connectAgain();
    void disconnect();
    void readEvents();
    // Called by Xlib after each request on the hold's connection: a reply read may have brought
    // grabbed keys along, which only the watchdog's knowing of them keeps from being lost with
    // this process.
    static int afterRequest(Display* display);
    // Takes the keys Xlib has read off the connection, so that the watchdog knows of them.
    void takeQueued();
    // Tells the watchdog whether a selection stands that the held keys must not type over.
    void tellSelection();
    // Takes note of a connection the watchdog ended.
    void followWatchdog();
    bool watchdogHasLetGo() const;
    // Tells the watchdog which keys are held and not typed again yet, those being sent first.
    void oweHeld();
    // Writes `mark` where the watchdog looks for the last keys sent.
    void markSent(quint32 mark);
    void runAfterRelease();
    void take(const _XEvent& event);
    // Follows the focus leaving and coming back to the window the hold began in.
    void followFocus(const _XEvent& event);
    // Gives the focus to the window `key` was typed in when it has moved on since, so that a
    // click or another program moving the focus does not carry the key along.
    void focusFor(const HeldKey& key, FocusBefore& before);
    void restoreFocus(const FocusBefore& before);
    void stopFollowingFocus();
    void readGrabbedKeys();
    bool claimUnrecorded(bool press, unsigned keyCode, unsigned long time);
    void typeNext();
    using Keymap = std::array<char, 32>;
    Keymap queryKeymap() const;
    static bool isDown(const Keymap& keymap, unsigned keyCode);
    // The first held key's latest press is still down by the user.
    bool heldKeyIsDown(const Keymap& userKeys) const;
    void awaitRelease();
    // Types the held key again with the modifiers it was typed with; false when the server
    // would ignore it. `withRelease`: the key's release follows its press at once.
    bool typeAgain(const HeldKey& key, bool withRelease);
    // The keys down on the XTest device our keys go through; nothing when it cannot be read.
    std::optional<Keymap> queryTestKeys() const;
    // Brings the XTest device's keys back to how they were before a replay, with the keyboard
    // grabbed again so that the field sees none of it.
    void restoreTestKeys(const Keymap& before);

    std::shared_ptr<X11Connection> m_connection;
    const X11KeyboardLayout* m_layout;
    PostedKeyLedger& m_ledger;
    Window m_window = 0;
    // Our window inside the focus window, while a hold has one.
    Window m_inside = 0;
    // The window that had the focus when the hold began, and whether it still has it as the
    // keys now read were typed (focus changes come in the same stream as the grabbed keys).
    Window m_typedIn = 0;
    bool m_focusInTypedIn = false;
    State m_state = State::free;
    // The user did not let go of the key awaited in time: it goes anyway.
    bool m_releaseWaitOver = false;
    // The key whose release a held press of it waits for.
    unsigned m_awaitedRelease = 0;
    quint64 m_userData = 0;
    // The modifiers the user holds, followed through the grabbed keys.
    unsigned m_userModifiers = 0;
    QList<HeldKey> m_held;
    // The key of the batch being typed again (with its release): still owed to the watchdog
    // until it has gone out, unless the server wrote the mark that follows it.
    QList<HeldKey> m_sending;
    quint32 m_sendingMark = 0;
    // The keys typed again in the last batch whose echo has not come back yet.
    QList<HeldKey> m_echoesAwaited;
    QList<UnrecordedKey> m_unrecorded;
    ScheduledTask m_limit;
    ScheduledTask m_echoWait;
    QList<std::function<void()>> m_afterRelease;
    Display* m_display = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    bool m_lost = false;
    bool m_selectionAwaitingPaste = false;
    bool m_pasteGoingOut = false;
    // The mark written behind the paste keys over that selection; 0 until they go out.
    quint32 m_pasteMark = 0;
    bool m_takingQueued = false;
    bool m_endedByWatchdog = false;
    // Counts the keys typed again, for the watchdog to tell which went out.
    quint32 m_sentMark = 0;
    std::unique_ptr<X11HoldWatchdog> m_watchdog;
    std::unique_ptr<TestKeyboard> m_testKeyboard;
    // The XTest device's keys before the key being typed again went out.
    std::optional<Keymap> m_testKeysBeforeReplay;
    // The grabbed keys being read are our own, restoring the XTest device's keys.
    bool m_readingRestoredKeys = false;
};
