#include "X11KeyboardHold.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11HoldWatchdog.h"
#include "X11KeyboardLayout.h"
#include "X11ModifierAlignment.h"

#include <QAbstractEventDispatcher>
#include <QDebug>
#include <QHash>
#include <QSocketNotifier>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <csignal>

namespace {
// The modifiers a held key is typed again with; Num Lock (a lock on Mod2 in common layouts)
// only matters on the keypad and is left as it is.
constexpr unsigned alignedMask = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod4Mask | Mod5Mask;
} // namespace

struct X11KeyboardHold::TestKeyboard {
    XDevice* device;
};

namespace {
// Xlib ends the process when a connection breaks (its default handler, and Qt's after a
// message); the hold's connection breaks on purpose when its watchdog ends it, and is opened
// again. Other connections keep the handler that was there.
QHash<Display*, X11KeyboardHold*>& holdConnections()
{
    static QHash<Display*, X11KeyboardHold*> connections;
    return connections;
}

XIOErrorHandler previousIOErrorHandler = nullptr;

int connectionBroke(Display* display)
{
    if (X11KeyboardHold* hold = holdConnections().value(display)) {
        hold->noteConnectionLost();
        return 0;
    }
    return previousIOErrorHandler ? previousIOErrorHandler(display) : 0;
}

void connectionLost(Display*, void*)
{
    // The hold has been told; Xlib marks the connection dead and carries on.
}

bool hasProperty(Display* display, int device, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found
        = XIGetProperty(display, device, property, 0, 1, False, AnyPropertyType, &type, &format, &items, &after, &data)
            == Success
        && type != None;
    if (data)
        XFree(data);
    return found;
}

// The XTest keyboard that XTestFakeKeyEvent types on for this client: the slave of the keyboard
// paired with the client's pointer that the server marks as an XTest device.
XDevice* openTestKeyboard(Display* display)
{
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)
        || XIQueryVersion(display, &major, &minor) != Success)
        return nullptr;
    const Atom xtest = XInternAtom(display, "XTEST Device", True);
    if (xtest == None)
        return nullptr;
    // Without a client pointer set, the server takes the first master pointer.
    int pointer = 0;
    if (!XIGetClientPointer(display, None, &pointer))
        pointer = 0;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    int keyboard = 0;
    for (int i = count - 1; i >= 0; --i) {
        if (devices[i].use == XIMasterPointer && (devices[i].deviceid == pointer || pointer == 0))
            keyboard = devices[i].attachment;
    }
    int found = 0;
    for (int i = 0; i < count && found == 0; ++i) {
        if (devices[i].use == XISlaveKeyboard && devices[i].attachment == keyboard
            && hasProperty(display, devices[i].deviceid, xtest))
            found = devices[i].deviceid;
    }
    XIFreeDeviceInfo(devices);
    return found != 0 ? XOpenDevice(display, XID(found)) : nullptr;
}
} // namespace

X11KeyboardHold::X11KeyboardHold(
    std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger)
    : m_connection(std::move(connection))
    , m_layout(layout)
    , m_ledger(ledger)
{
    if (m_connection)
        connectAgain();
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        // A round trip may have moved grabbed keys off the socket, which then stays quiet:
        // into Xlib's queue, or into XCB's beneath it, which only a look that reads shows.
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_display && !m_lost && !watchdogHasLetGo() && XEventsQueued(m_display, QueuedAfterReading) > 0)
                readEvents();
        });
    }
}

X11KeyboardHold::~X11KeyboardHold()
{
    m_limit.cancel();
    m_echoWait.cancel();
    if (!m_display)
        return;
    // Keys still held go to the field now rather than nowhere.
    if (isGrabbed())
        readGrabbedKeys();
    ungrab();
    enter(State::free);
    typeNext();
    disconnect();
}

void X11KeyboardHold::connectAgain()
{
    m_display = XOpenDisplay(DisplayString(m_connection->display()));
    m_lost = false;
    if (!m_display) {
        qWarning("Keyboard hold: no connection to the X server; keys are not held while a trigger is replaced");
        return;
    }
    // The watchdog ends this connection by shutting its socket: a write of ours after that
    // must fail, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    X11Connection::ignoreErrorsOn(m_display);
    if (holdConnections().isEmpty()) {
        const XIOErrorHandler previous = XSetIOErrorHandler(connectionBroke);
        if (previous != connectionBroke)
            previousIOErrorHandler = previous;
    }
    holdConnections().insert(m_display, this);
    XSetIOErrorExitHandler(m_display, connectionLost, nullptr);
    XSetAfterFunction(m_display, afterRequest);
    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
    // The watchdog names this connection to the server by one of its resources, to end it
    // with the server grabbed (see X11HoldWatchdog).
    const Window resource = XCreateWindow(m_display, DefaultRootWindow(m_display), -1, -1, 1, 1, 0, 0, InputOnly,
        CopyFromParent, 0, nullptr);
    XFlush(m_display);
    m_watchdog = std::make_unique<X11HoldWatchdog>(ConnectionNumber(m_display), DisplayString(m_display), resource);
    tellSelection();
    if (XDevice* device = openTestKeyboard(m_display))
        m_testKeyboard = std::make_unique<TestKeyboard>(TestKeyboard{device});
}

void X11KeyboardHold::disconnect()
{
    XSetAfterFunction(m_display, nullptr);
    m_watchdog.reset();
    // Possibly from inside its own signal.
    if (QSocketNotifier* notifier = std::exchange(m_notifier, nullptr)) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    if (const std::unique_ptr<TestKeyboard> keyboard = std::exchange(m_testKeyboard, nullptr)) {
        if (m_lost)
            XFree(keyboard->device);
        else
            XCloseDevice(m_display, keyboard->device);
    }
    X11Connection::stopIgnoringErrorsOn(m_display);
    // The server destroys the connection's windows with it, and what it selected.
    m_inside = 0;
    m_typedIn = 0;
    m_focusInTypedIn = false;
    XCloseDisplay(m_display);
    holdConnections().remove(std::exchange(m_display, nullptr));
}

void X11KeyboardHold::noteConnectionLost()
{
    m_lost = true;
}

Display* X11KeyboardHold::display()
{
    followWatchdog();
    return m_display;
}

bool X11KeyboardHold::watchdogHasLetGo() const
{
    return m_watchdog && m_watchdog->hasLetGo();
}

void X11KeyboardHold::readEvents()
{
    // Once the watchdog has let go, it reads what is left on the connection itself.
    while (!m_lost && !watchdogHasLetGo() && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        take(event);
    }
    followWatchdog();
}

int X11KeyboardHold::afterRequest(Display* display)
{
    if (X11KeyboardHold* hold = holdConnections().value(display))
        hold->takeQueued();
    return 0;
}

void X11KeyboardHold::takeQueued()
{
    // Not from inside the reading of events, nor once the watchdog reads the connection.
    if (!m_display || m_lost || m_takingQueued || watchdogHasLetGo())
        return;
    m_takingQueued = true;
    // A reply's wait reads the events that came before it into XCB's queue, beneath Xlib's:
    // only a look that reads brings them up.
    while (XEventsQueued(m_display, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        take(event);
    }
    m_takingQueued = false;
}

void X11KeyboardHold::setSelectionAwaitingPaste(bool awaiting)
{
    m_selectionAwaitingPaste = awaiting && isGrabbed();
    m_pasteGoingOut = false;
    m_pasteMark = 0;
    tellSelection();
}

void X11KeyboardHold::setPasteGoingOut(bool going)
{
    m_pasteGoingOut = going && m_selectionAwaitingPaste;
    if (!m_pasteGoingOut && m_pasteMark != 0) {
        m_pasteMark = 0;
        tellSelection();
    }
}

void X11KeyboardHold::tellSelection()
{
    if (m_watchdog)
        m_watchdog->collapseSelectionFirst(
            m_selectionAwaitingPaste && m_layout ? m_layout->keyCodeOf(XK_Right) : 0, m_pasteMark);
}

bool X11KeyboardHold::hold(double longestSeconds, quint64 userData)
{
    followWatchdog();
    m_endedByWatchdog = false;
    if (!m_display || !m_layout || !m_connection->hasExtension("XTEST"))
        return false;
    // Armed before the grab, so that no moment of the hold goes unwatched.
    if (m_watchdog)
        m_watchdog->arm(longestSeconds + watchdogGraceSeconds);
    if (!isGrabbed()) {
        // Keys that come with the grab's replies are taken once the user's modifiers are known.
        m_takingQueued = true;
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        // With no focus window (None or PointerRoot) keys follow the pointer; the root
        // window catches them all then.
        if (focus == None || focus == PointerRoot)
            focus = DefaultRootWindow(m_display);
        if (m_watchdog)
            m_watchdog->setFocusWindow(focus);
        // The focus may move while keys are held; they belong to the window they were typed in.
        stopFollowingFocus();
        if (focus != DefaultRootWindow(m_display)) {
            m_typedIn = focus;
            m_focusInTypedIn = true;
            XSelectInput(m_display, focus, FocusChangeMask);
        }
        if (!grab(grabWindowIn(focus))) {
            m_takingQueued = false;
            ungrab();
            return false;
        }
        // From here on every key of the user's comes to us, so their modifiers can be
        // followed from this state on.
        m_userModifiers = X11ServerModifierKeyboard::liveModifiers(m_display);
        m_takingQueued = false;
    }
    enter(State::holding);
    m_userData = userData;
    m_limit.cancel();
    m_limit = Scheduler::current().after(longestSeconds, this, [this] { release(); });
    takeQueued();
    return true;
}

void X11KeyboardHold::afterRelease(std::function<void()> work)
{
    m_afterRelease.append(std::move(work));
    if (m_state == State::free && m_held.isEmpty())
        runAfterRelease();
}

void X11KeyboardHold::runAfterRelease()
{
    if (m_afterRelease.isEmpty())
        return;
    // Never from inside the reading of events or the typing of keys.
    Scheduler::current().after(0, this, [this] {
        if (m_state != State::free || !m_held.isEmpty())
            return;
        for (const std::function<void()>& work : std::exchange(m_afterRelease, {}))
            work();
    });
}

void X11KeyboardHold::followWatchdog()
{
    if ((!m_lost && !watchdogHasLetGo()) || !m_connection)
        return;
    // The watchdog ended the connection and the server dropped our grabs with it. It typed
    // the keys we had told it of and those left unread on the connection, before any the user
    // typed since, which went straight to the field. Keys Xlib had read but we had not taken
    // yet go after them, as soon as possible rather than not at all.
    const qsizetype owed = m_held.size();
    while (!m_lost && XEventsQueued(m_display, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        take(event);
    }
    m_lost = true;
    qsizetype typedByWatchdog = 0;
    if (m_watchdog) {
        const X11HoldWatchdog::LetGo letGo = m_watchdog->letGo();
        if (letGo.typedOwed) {
            m_held.remove(0, owed);
            typedByWatchdog = owed;
        }
        // RECORD still reports the keys as they reached our grab.
        for (const X11HoldWatchdog::Key& key : letGo.fromConnection)
            m_unrecorded.append(
                {{key.press, key.keyCode, key.state, key.time}, QDeadlineTimer(unrecordedLifetimeMilliseconds)});
        typedByWatchdog += letGo.fromConnection.size();
    }
    qWarning("Keyboard hold: this process made no progress for too long; the keyboard was let go of, %lld held "
             "key presses and releases were typed by the watchdog, %lld follow",
        qlonglong(typedByWatchdog), qlonglong(m_held.size()));
    m_endedByWatchdog = m_endedByWatchdog || isHeldState();
    disconnect();
    connectAgain();
    enter(State::free);
    m_limit.cancel();
    m_echoWait = Scheduler::current().after(0, this, [this] { typeNext(); });
}

void X11KeyboardHold::release()
{
    if (!isHolding())
        return;
    m_limit.cancel();
    if (m_state == State::holdingUngrabbed) {
        enter(State::free);
        return typeNext();
    }
    enter(State::typingAgain);
    readGrabbedKeys();
    typeNext();
}

void X11KeyboardHold::enter(State state)
{
    // A wait of the state left behind ends with it.
    if (m_state == State::awaitingEcho || m_state == State::awaitingRelease)
        m_echoWait.cancel();
    if (state != State::awaitingEcho)
        m_echoesAwaited.clear();
    m_state = state;
}

void X11KeyboardHold::grabLost()
{
    enter(isHolding() ? State::holdingUngrabbed : State::free);
}

bool X11KeyboardHold::grab(Window window)
{
    const bool grabbed
        = XGrabKeyboard(m_display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    m_window = grabbed ? window : 0;
    if (m_watchdog)
        m_watchdog->setGrabWindow(quint32(m_window));
    return grabbed;
}

Window X11KeyboardHold::grabWindowIn(Window focus)
{
    // The root window has no window around it to be asked about focus; keys are grabbed there
    // as they are.
    if (focus == DefaultRootWindow(m_display))
        return focus;
    // Outside the focus window's area, so that it never takes the pointer; override-redirect,
    // so that a window manager does not take it for a window of its own to manage.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    m_inside = XCreateWindow(
        m_display, focus, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
    XMapWindow(m_display, m_inside);
    return m_inside;
}

void X11KeyboardHold::stopFollowingFocus()
{
    // Gone with its application perhaps: the error is ignored then.
    if (m_typedIn != 0 && m_display && !m_lost)
        XSelectInput(m_display, m_typedIn, NoEventMask);
    m_typedIn = 0;
    m_focusInTypedIn = false;
}

void X11KeyboardHold::followFocus(const XEvent& event)
{
    const XFocusChangeEvent& change = event.xfocus;
    // Our own grab is announced as focus changes too, and the pointer's moves inside the window
    // say nothing about where keys go.
    if (change.window != m_typedIn || change.mode == NotifyGrab || change.mode == NotifyUngrab
        || change.detail == NotifyPointer || change.detail == NotifyPointerRoot || change.detail == NotifyDetailNone)
        return;
    if (change.type == FocusIn)
        m_focusInTypedIn = true;
    else if (change.detail != NotifyInferior)
        m_focusInTypedIn = false;
}

void X11KeyboardHold::focusFor(const HeldKey& key, FocusBefore& before)
{
    if (!before.known) {
        // While the focus is where the hold began, every key goes there as it is: no look at
        // the focus lengthens the moment the keyboard is let go of for the batch.
        if (key.window == 0 || m_focusInTypedIn)
            return;
        XGetInputFocus(m_display, &before.window, &before.revert);
        before.current = before.window;
        before.known = true;
    }
    const Window target = key.window != 0 ? key.window : before.window;
    if (target == before.current)
        return;
    // XTest keys go where the focus is as the server carries them out; it is moved only under
    // the server grab, so no other program sees it elsewhere.
    XSetInputFocus(m_display, target, RevertToParent, CurrentTime);
    before.current = target;
}

void X11KeyboardHold::restoreFocus(const FocusBefore& before)
{
    if (before.known && before.current != before.window)
        XSetInputFocus(m_display, before.window, before.revert, CurrentTime);
}

void X11KeyboardHold::ungrab()
{
    m_selectionAwaitingPaste = false;
    tellSelection();
    if (m_watchdog)
        m_watchdog->disarm();
    if (isGrabbed())
        XUngrabKeyboard(m_display, CurrentTime);
    stopFollowingFocus();
    grabLost();
    // Gone with its parent when that went first; the error is ignored then.
    if (m_inside)
        XDestroyWindow(m_display, std::exchange(m_inside, 0));
}

void X11KeyboardHold::suspend()
{
    if (!isGrabbed())
        return;
    // The paste keys go out next, with a mark behind them: the watchdog, letting go, collapses
    // the selection only while the server has not carried them out. A key it typed behind a
    // paste that had gone out may reach the field before the pasted text does.
    if (m_pasteGoingOut && m_pasteMark == 0) {
        m_pasteMark = ++m_sentMark;
        tellSelection();
    }
    // Until resume(), no other program's request is carried out: neither a key another
    // program sends nor one that changes the modifiers can come in between.
    if (m_watchdog)
        m_watchdog->setServerGrabbed(true);
    XGrabServer(m_display);
    XUngrabKeyboard(m_display, CurrentTime);
}

void X11KeyboardHold::resume()
{
    const std::optional<Keymap> testKeys = std::exchange(m_testKeysBeforeReplay, std::nullopt);
    if (!isGrabbed())
        return;
    if (m_pasteGoingOut && m_pasteMark != 0)
        markSent(m_pasteMark);
    const bool grabbed = grab(m_window);
    if (grabbed && testKeys)
        restoreTestKeys(*testKeys);
    XUngrabServer(m_display);
    XFlush(m_display);
    if (m_watchdog)
        m_watchdog->setServerGrabbed(false);
    // The focus window may have gone meanwhile; the keys then go on unheld.
    if (!grabbed)
        grabLost();
    followWatchdog();
    if (!isGrabbed())
        typeNext();
}

void X11KeyboardHold::take(const XEvent& event)
{
    if (event.type == FocusIn || event.type == FocusOut)
        return followFocus(event);
    if (event.type != KeyPress && event.type != KeyRelease)
        return;
    if (m_readingRestoredKeys) {
        // Only RECORD's report of it is left to drop.
        m_unrecorded.append({{event.type == KeyPress, event.xkey.keycode, 0, event.xkey.time},
            QDeadlineTimer(unrecordedLifetimeMilliseconds)});
        return;
    }
    // The server stamps a key with its live modifiers, which include those of a held key
    // being typed again right then: the modifiers are the user's own, as followed here.
    const bool press = event.type == KeyPress;
    const unsigned keyCode = event.xkey.keycode;
    const HeldKey key{press, keyCode, (event.xkey.state & ~alignedMask) | (m_userModifiers & alignedMask),
        event.xkey.time, m_focusInTypedIn ? m_typedIn : 0};
    if (const unsigned bits = m_layout->modifierBits(keyCode)) {
        if (m_layout->isLockKey(keyCode))
            m_userModifiers ^= press ? bits : 0;
        else if (press)
            m_userModifiers |= bits;
        else
            m_userModifiers &= ~bits;
    }
    m_held.append(key);
    m_unrecorded.append({key, QDeadlineTimer(unrecordedLifetimeMilliseconds)});
    oweHeld();
    // A key that came in just as the grab ended goes on at once.
    if (m_state == State::free) {
        m_echoWait = Scheduler::current().after(0, this, [this] { typeNext(); });
        return;
    }
    if (m_state == State::awaitingRelease && !key.press && key.keyCode == m_awaitedRelease) {
        enter(State::typingAgain);
        // Not from inside the reading of events.
        m_echoWait = Scheduler::current().after(0, this, [this] { typeNext(); });
    }
}

void X11KeyboardHold::readGrabbedKeys()
{
    // After the round trip every key the server sent us before it is in Xlib's queue.
    XSync(m_display, False);
    readEvents();
}

bool X11KeyboardHold::claimUnrecorded(bool press, unsigned keyCode, unsigned long time)
{
    while (!m_unrecorded.isEmpty() && m_unrecorded.first().deadline.hasExpired())
        m_unrecorded.removeFirst();
    for (qsizetype i = 0; i < m_unrecorded.size(); ++i) {
        const HeldKey& key = m_unrecorded.at(i).key;
        if (key.press == press && key.keyCode == keyCode && key.time == time) {
            m_unrecorded.removeAt(i);
            return true;
        }
    }
    return false;
}

bool X11KeyboardHold::claimRecorded(bool press, unsigned keyCode, unsigned long time)
{
    // Keys the watchdog typed for us are reported as the user typed them into our grab.
    followWatchdog();
    if (!isGrabbed() && m_unrecorded.isEmpty())
        return false;
    if (claimUnrecorded(press, keyCode, time))
        return true;
    // RECORD may report a grabbed key before our own connection has read it.
    if (!isGrabbed())
        return false;
    readGrabbedKeys();
    return claimUnrecorded(press, keyCode, time);
}

void X11KeyboardHold::typedAgain(bool press, unsigned keyCode)
{
    if (m_state != State::awaitingEcho)
        return;
    // Echoes come in the order the keys went out; one of an earlier batch matches none.
    const auto echoed = std::find_if(m_echoesAwaited.cbegin(), m_echoesAwaited.cend(),
        [&](const HeldKey& key) { return key.press == press && key.keyCode == keyCode; });
    if (echoed == m_echoesAwaited.cend())
        return;
    m_echoesAwaited.erase(m_echoesAwaited.cbegin(), echoed + 1);
    if (!m_echoesAwaited.isEmpty())
        return;
    enter(State::typingAgain);
    typeNext();
}

void X11KeyboardHold::typeNext()
{
    followWatchdog();
    if (m_state == State::typingAgain && m_watchdog)
        m_watchdog->arm(watchdogStallSeconds);
    while (m_state == State::typingAgain || m_state == State::free) {
        if (m_held.isEmpty() && m_state == State::typingAgain) {
            // Keys grabbed but not read yet would otherwise wait for the next hold, behind
            // keys typed after them: with other programs' requests held off, read them all
            // and let go of the keyboard only when there are none.
            Display* display = m_display;
            XGrabServer(display);
            readGrabbedKeys();
            if (m_held.isEmpty())
                ungrab();
            XUngrabServer(display);
            XFlush(display);
            if (m_state == State::free)
                return runAfterRelease();
            continue;
        }
        if (m_state == State::free) {
            // Without the grab (it ended with its window) nothing new can be held, so the
            // rest goes at once.
            ungrab();
            // Each key goes with its release: the user's keys went to the field meanwhile,
            // the release of a held key among them perhaps, and a press of ours without one
            // would leave the key down and repeating. Modifiers come with each key's state.
            QList<HeldKey> keys = std::exchange(m_held, {});
            XGrabServer(m_display);
            FocusBefore before;
            for (qsizetype i = 0; i < keys.size(); ++i) {
                const HeldKey& key = keys.at(i);
                if (m_layout->modifierBits(key.keyCode) != 0)
                    continue;
                const auto release = std::find_if(keys.begin() + i + 1, keys.end(),
                    [&key](const HeldKey& later) { return later.keyCode == key.keyCode; });
                if (key.press && release != keys.end() && !release->press)
                    keys.erase(release);
                focusFor(key, before);
                typeAgain(key, key.press);
            }
            restoreFocus(before);
            XUngrabServer(m_display);
            XFlush(m_display);
            oweHeld();
            return runAfterRelease();
        }
        // The held keys go back in one batch, as fast as they came: the keys typed meanwhile
        // are held and go in the next one, so that a typist faster than our round trips never
        // builds up a backlog that outlives the hold.
        const Keymap userKeys = queryKeymap();
        if (heldKeyIsDown(userKeys) && !m_releaseWaitOver) {
            // The user holds this key down right now. The server keeps one state per key for
            // the user's presses and ours: typing it again meanwhile would make it take the
            // user's release as nothing, or a press of ours as nothing. It goes again once
            // the user has let go of it.
            awaitRelease();
            return;
        }
        // The keyboard's state is read with the server grabbed, so that no key changes it
        // before ours go out; the server answers by itself, and the watchdog covers this
        // process stopping meanwhile.
        suspend();
        m_testKeysBeforeReplay = queryTestKeys();
        FocusBefore before;
        QList<HeldKey> sent;
        m_sending.clear();
        bool stoppedAtDown = false;
        while (!m_held.isEmpty() && m_display && !m_lost) {
            if (!sent.isEmpty() || !m_releaseWaitOver) {
                if (heldKeyIsDown(userKeys)) {
                    stoppedAtDown = true;
                    break;
                }
            }
            m_releaseWaitOver = false;
            const HeldKey key = m_held.takeFirst();
            // A key typed through XTest (on-screen keyboards, xdotool) is typed on the device
            // our keys go through, which drops a press of a key it has down: a key of ours left
            // down until its release's turn would swallow the user's next press of it. Its
            // release, when already held, goes right after it; only text's order matters, and
            // a rolled-over press of the next key still comes after this one.
            bool withRelease = false;
            m_sending.append(key);
            if (key.press && m_layout->modifierBits(key.keyCode) == 0) {
                const auto release = std::find_if(m_held.begin(), m_held.end(),
                    [&key](const HeldKey& later) { return later.keyCode == key.keyCode; });
                if (release != m_held.end() && !release->press) {
                    m_sending.append(*release);
                    m_held.erase(release);
                    withRelease = true;
                }
            }
            // The watchdog is told of the key as going out before it goes, and the key goes
            // with a mark behind it on the same connection, in the same write: a stop anywhere
            // from here on has the watchdog find out from the mark whether the server carried
            // the key out, so that it is typed once, never twice and never not at all. It is
            // no longer owed once it has gone out, and at once: told at the batch's end, a stop
            // anywhere in the batch would leave the keys sent so far to that look.
            m_sendingMark = ++m_sentMark;
            oweHeld();
            focusFor(key, before);
            if (typeAgain(key, withRelease))
                sent.append(key);
            markSent(m_sendingMark);
            XFlush(m_display);
            m_sending.clear();
            oweHeld();
        }
        restoreFocus(before);
        resume();
        if (m_state != State::typingAgain)
            continue;
        XFlush(m_display);
        if (sent.isEmpty()) {
            if (!stoppedAtDown)
                continue;
            awaitRelease();
            return;
        }
        // Only the last key's echo is waited for: once the engine has read it, it has read
        // every key of the batch, and a trigger among them has started its hold.
        m_echoesAwaited = sent;
        enter(State::awaitingEcho);
        m_echoWait = Scheduler::current().after(echoTimeout, this, [this] {
            for (const HeldKey& key : std::exchange(m_echoesAwaited, {}))
                m_ledger.forget(key.press, key.keyCode);
            enter(State::typingAgain);
            typeNext();
        });
        return;
    }
}

bool X11KeyboardHold::heldKeyIsDown(const Keymap& userKeys) const
{
    const HeldKey& next = m_held.first();
    const auto latest = std::find_if(
        m_held.crbegin(), m_held.crend(), [&next](const HeldKey& key) { return key.keyCode == next.keyCode; });
    return latest->press && isDown(userKeys, next.keyCode);
}

void X11KeyboardHold::awaitRelease()
{
    enter(State::awaitingRelease);
    m_awaitedRelease = m_held.first().keyCode;
    m_echoWait = Scheduler::current().after(echoTimeout, this, [this] {
        enter(State::typingAgain);
        m_releaseWaitOver = true;
        typeNext();
    });
}

X11KeyboardHold::Keymap X11KeyboardHold::queryKeymap() const
{
    Keymap keymap{};
    XQueryKeymap(m_display, keymap.data());
    return keymap;
}

bool X11KeyboardHold::isDown(const Keymap& keymap, unsigned keyCode)
{
    return keyCode < 256 && (keymap[keyCode / 8] & (1 << (keyCode % 8)));
}

bool X11KeyboardHold::typeAgain(const HeldKey& key, bool withRelease)
{
    X11ServerModifierKeyboard keyboard(m_display, *m_layout, m_ledger, m_userData);
    const Keymap keymap = keyboard.keysDown();
    // The server ignores the release of a key that is no longer down (its press reached the
    // field before the hold, or the user has let go of it already).
    if (!key.press && !isDown(keymap, key.keyCode))
        return false;
    // A key the user has held down all along is let go of first, or its press would not count.
    if (key.press && isDown(keymap, key.keyCode))
        keyboard.send(key.keyCode, false);

    // XTest keys take the server's live modifier state, which already includes every
    // modifier pressed or released while the keys were held: bring it to the state the key
    // was typed in, and back afterwards.
    X11ModifierAlignment alignment(keyboard, alignedMask, keymap);
    alignment.alignTo(key.state);
    keyboard.setTag(PostedKeyLedger::heldKeyTypedAgain);
    keyboard.send(key.keyCode, key.press);
    keyboard.setTag(m_userData);
    if (withRelease)
        keyboard.send(key.keyCode, false);
    alignment.restore();
    return true;
}

std::optional<X11KeyboardHold::Keymap> X11KeyboardHold::queryTestKeys() const
{
    if (!m_testKeyboard)
        return std::nullopt;
    XDeviceState* state = XQueryDeviceState(m_display, m_testKeyboard->device);
    if (!state)
        return std::nullopt;
    std::optional<Keymap> keys;
    const XInputClass* inputClass = state->data;
    for (int i = 0; i < state->num_classes; ++i) {
        if (inputClass->c_class == KeyClass) {
            const auto* keyState = reinterpret_cast<const XKeyState*>(inputClass);
            keys.emplace();
            std::copy(std::begin(keyState->keys), std::end(keyState->keys), keys->begin());
        }
        inputClass
            = reinterpret_cast<const XInputClass*>(reinterpret_cast<const char*>(inputClass) + inputClass->length);
    }
    XFreeDeviceState(state);
    return keys;
}

void X11KeyboardHold::restoreTestKeys(const Keymap& before)
{
    // Between the keys typed again, the user's keys reach the server and come to our grab. When
    // they too are typed through XTest (on-screen keyboards, remote desktops, xdotool), they go
    // through the device ours went through, which has one state per key and drops a press of a
    // modifier it has down and a release of a key it has up: a Shift of ours still down would
    // swallow the user's next press of Shift, and our later release of it would lift theirs.
    // Each key typed again therefore leaves the device's keys as it found them; the keys that
    // put them back go to our grab, so the field sees none of them. A lock key is left alone,
    // as pressing it changes more than its own state.
    const std::optional<Keymap> after = queryTestKeys();
    if (!after)
        return;
    QList<std::pair<unsigned, bool>> keys;
    for (unsigned keyCode = 8; keyCode < 256; ++keyCode) {
        if (isDown(before, keyCode) != isDown(*after, keyCode) && !m_layout->isLockKey(keyCode))
            keys.append({keyCode, isDown(before, keyCode)});
    }
    if (keys.isEmpty())
        return;
    // The user's keys that came before are read first; with the server grabbed, what comes
    // after them is only ours.
    readGrabbedKeys();
    // Without the grab (the watchdog ended it) they would reach the field.
    if (!isGrabbed())
        return;
    for (const auto& [keyCode, press] : keys)
        XTestFakeKeyEvent(m_display, keyCode, press ? True : False, CurrentTime);
    m_readingRestoredKeys = true;
    readGrabbedKeys();
    m_readingRestoredKeys = false;
}

void X11KeyboardHold::markSent(quint32 mark)
{
    if (!m_watchdog || m_watchdog->sentMarkWindow() == 0)
        return;
    const long value = long(mark);
    XChangeProperty(m_display, Window(m_watchdog->sentMarkWindow()), Atom(m_watchdog->sentMarkAtom()), XA_CARDINAL, 32,
        PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
}

void X11KeyboardHold::oweHeld()
{
    if (!m_watchdog)
        return;
    QList<X11HoldWatchdog::Key> keys;
    keys.reserve(m_sending.size() + m_held.size());
    for (const QList<HeldKey>* list : {&m_sending, &m_held}) {
        for (const HeldKey& key : *list)
            keys.append({key.press, quint8(key.keyCode), quint16(key.state), quint32(key.time)});
    }
    m_watchdog->owe(keys, int(m_sending.size()), m_sendingMark);
}
