#include "X11KeyboardHold.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11KeyboardLayout.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {
// The modifiers a held key is typed again with; Num Lock (a lock on Mod2 in common layouts)
// only matters on the keypad and is left as it is.
constexpr unsigned alignedModifiers[] = {ShiftMask, LockMask, ControlMask, Mod1Mask, Mod4Mask, Mod5Mask};
constexpr unsigned alignedMask = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod4Mask | Mod5Mask;
} // namespace

// Ends the grab when the deadline passes without the main thread moving it. Xlib serialises
// the connection's use across threads (libX11 initialises its locking by itself), so the
// ungrab goes out even while the main thread is stuck elsewhere.
class X11KeyboardHold::Watchdog {
public:
    explicit Watchdog(Display* display)
        : m_display(display)
        , m_thread([this] { run(); })
    {
    }

    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void arm(double seconds)
    {
        {
            std::lock_guard lock(m_mutex);
            m_deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        }
        m_changed.notify_all();
    }

    void disarm()
    {
        std::lock_guard lock(m_mutex);
        m_deadline.reset();
    }

    // True once after the watchdog let go of the keyboard.
    bool takeFired() { return m_fired.exchange(false); }

private:
    using Clock = std::chrono::steady_clock;

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            if (!m_deadline) {
                m_changed.wait(lock);
                continue;
            }
            const Clock::time_point deadline = *m_deadline;
            if (m_changed.wait_until(lock, deadline) != std::cv_status::timeout || m_deadline != deadline)
                continue;
            m_deadline.reset();
            XLockDisplay(m_display);
            XUngrabKeyboard(m_display, CurrentTime);
            // A server grab the main thread is stuck inside ends too: only the one round trip
            // that reads the last grabbed keys ever happens inside one, and the server
            // answers that by itself, so the main thread can only be stuck between requests.
            XUngrabServer(m_display);
            XFlush(m_display);
            XUnlockDisplay(m_display);
            m_fired = true;
        }
    }

    Display* m_display;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Clock::time_point> m_deadline;
    bool m_quit = false;
    std::atomic<bool> m_fired = false;
    std::thread m_thread;
};

X11KeyboardHold::X11KeyboardHold(
    std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger)
    : m_connection(std::move(connection))
    , m_layout(layout)
    , m_ledger(ledger)
{
    if (m_connection) {
        m_connection->setKeyHandler([this](const XEvent& event) { take(event); });
        m_watchdog = std::make_unique<Watchdog>(m_connection->display());
    }
}

X11KeyboardHold::~X11KeyboardHold()
{
    m_limit.cancel();
    m_echoWait.cancel();
    if (!m_connection)
        return;
    // Keys still held go to the field now rather than nowhere.
    if (m_grabbed)
        readGrabbedKeys();
    m_connection->setKeyHandler(nullptr);
    ungrab();
    m_holding = false;
    m_awaitingEcho = false;
    m_awaitingRelease = false;
    typeNext();
    m_watchdog.reset();
}

bool X11KeyboardHold::hold(double longestSeconds, quint64 userData)
{
    if (!m_connection || !m_layout || !m_connection->hasExtension("XTEST"))
        return false;
    followWatchdog();
    if (!m_grabbed) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_connection->display(), &focus, &revert);
        // With no focus window (None or PointerRoot) keys follow the pointer; the root
        // window catches them all then.
        if (focus == None || focus == PointerRoot)
            focus = m_connection->rootWindow();
        if (!grab(focus))
            return false;
        // From here on every key of the user's comes to us, so their modifiers can be
        // followed from this state on.
        m_userModifiers = liveModifiers();
    }
    m_holding = true;
    m_userData = userData;
    m_limit.cancel();
    m_limit = Scheduler::current().after(longestSeconds, this, [this] { release(); });
    m_watchdog->arm(longestSeconds + watchdogGraceSeconds);
    return true;
}

void X11KeyboardHold::afterRelease(std::function<void()> work)
{
    m_afterRelease.append(std::move(work));
    if (!m_holding && !m_grabbed && m_held.isEmpty())
        runAfterRelease();
}

void X11KeyboardHold::runAfterRelease()
{
    if (m_afterRelease.isEmpty())
        return;
    // Never from inside the reading of events or the typing of keys.
    Scheduler::current().after(0, this, [this] {
        if (m_holding || m_grabbed || !m_held.isEmpty())
            return;
        for (const std::function<void()>& work : std::exchange(m_afterRelease, {}))
            work();
    });
}

void X11KeyboardHold::followWatchdog()
{
    if (!m_watchdog || !m_watchdog->takeFired())
        return;
    // Keys the user typed since went straight to the field; what is still held goes after
    // them as soon as possible rather than not at all.
    ungrab();
    m_holding = false;
    m_limit.cancel();
}

void X11KeyboardHold::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    m_limit.cancel();
    readGrabbedKeys();
    typeNext();
}

bool X11KeyboardHold::grab(Window window)
{
    Display* display = m_connection->display();
    m_grabbed = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    m_window = m_grabbed ? window : 0;
    return m_grabbed;
}

void X11KeyboardHold::ungrab()
{
    if (m_watchdog)
        m_watchdog->disarm();
    if (!m_grabbed)
        return;
    XUngrabKeyboard(m_connection->display(), CurrentTime);
    m_grabbed = false;
}

void X11KeyboardHold::suspend()
{
    if (!m_grabbed)
        return;
    // Until resume(), no other program's request is carried out: neither a key another
    // program sends nor one that changes the modifiers can come in between.
    XGrabServer(m_connection->display());
    XUngrabKeyboard(m_connection->display(), CurrentTime);
}

void X11KeyboardHold::resume()
{
    if (!m_grabbed)
        return;
    const bool grabbed = grab(m_window);
    XUngrabServer(m_connection->display());
    followWatchdog();
    // The focus window may have gone meanwhile; the keys then go on unheld.
    if (!grabbed || !m_grabbed)
        typeNext();
}

void X11KeyboardHold::take(const XEvent& event)
{
    if (event.type != KeyPress && event.type != KeyRelease)
        return;
    // The server stamps a key with its live modifiers, which include those of a held key
    // being typed again right then: the modifiers are the user's own, as followed here.
    const bool press = event.type == KeyPress;
    const unsigned keyCode = event.xkey.keycode;
    const HeldKey key{press, keyCode, (event.xkey.state & ~alignedMask) | (m_userModifiers & alignedMask), event.xkey.time};
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
    // A key that came in just as the grab ended goes on at once.
    if (!m_grabbed && !m_holding) {
        m_echoWait = Scheduler::current().after(0, this, [this] { typeNext(); });
        return;
    }
    if (m_awaitingRelease && !key.press) {
        m_awaitingRelease = false;
        m_echoWait.cancel();
        // Not from inside the reading of events.
        m_echoWait = Scheduler::current().after(0, this, [this] { typeNext(); });
    }
}

void X11KeyboardHold::readGrabbedKeys()
{
    // After the round trip every key the server sent us before it is in Xlib's queue.
    XSync(m_connection->display(), False);
    m_connection->processPendingEvents();
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
    if (!m_grabbed && m_unrecorded.isEmpty())
        return false;
    if (claimUnrecorded(press, keyCode, time))
        return true;
    // RECORD may report a grabbed key before our own connection has read it.
    if (!m_grabbed)
        return false;
    readGrabbedKeys();
    return claimUnrecorded(press, keyCode, time);
}

void X11KeyboardHold::typedAgain()
{
    if (!m_awaitingEcho)
        return;
    m_awaitingEcho = false;
    m_echoWait.cancel();
    typeNext();
}

void X11KeyboardHold::typeNext()
{
    followWatchdog();
    if (m_grabbed && !m_holding)
        m_watchdog->arm(watchdogStallSeconds);
    while (!m_holding && !m_awaitingEcho && !m_awaitingRelease) {
        if (m_held.isEmpty() && m_grabbed) {
            // Keys grabbed but not read yet would otherwise wait for the next hold, behind
            // keys typed after them: with other programs' requests held off, read them all
            // and let go of the keyboard only when there are none.
            Display* display = m_connection->display();
            XGrabServer(display);
            readGrabbedKeys();
            if (m_held.isEmpty())
                ungrab();
            XUngrabServer(display);
            XFlush(display);
            if (!m_grabbed)
                return runAfterRelease();
            continue;
        }
        if (!m_grabbed) {
            // Without the grab (it ended with its window) nothing new can be held, so the
            // rest goes at once.
            ungrab();
            for (const HeldKey& key : std::exchange(m_held, {}))
                send(keysTypingAgain(key, queryKeymap()));
            XFlush(m_connection->display());
            return runAfterRelease();
        }
        const HeldKey& next = m_held.first();
        const auto latest = std::find_if(m_held.crbegin(), m_held.crend(),
            [&next](const HeldKey& key) { return key.keyCode == next.keyCode; });
        if (latest->press && isDown(queryKeymap(), next.keyCode) && !m_releaseWaitOver) {
            // The user holds this key down right now. The server keeps one state per key for
            // the user's presses and ours: typing it again meanwhile would make it take the
            // user's release as nothing, or a press of ours as nothing. It goes again once
            // the user has let go of it.
            m_awaitingRelease = true;
            m_echoWait = Scheduler::current().after(echoTimeout, this, [this] {
                m_awaitingRelease = false;
                m_releaseWaitOver = true;
                typeNext();
            });
            return;
        }
        m_releaseWaitOver = false;
        const HeldKey key = m_held.takeFirst();
        // Asked before the server is grabbed: a question waits for the answer, and this
        // process may be stopped while it waits.
        const QList<PostedKey> keys = keysTypingAgain(key, queryKeymap());
        const bool sent = !keys.isEmpty();
        suspend();
        send(keys);
        resume();
        if (!sent || !m_grabbed)
            continue;
        XFlush(m_connection->display());
        m_awaitingEcho = true;
        m_echoWait = Scheduler::current().after(echoTimeout, this, [this, key] {
            m_ledger.forget(key.press, key.keyCode);
            m_awaitingEcho = false;
            typeNext();
        });
    }
}

X11KeyboardHold::Keymap X11KeyboardHold::queryKeymap() const
{
    Keymap keymap{};
    XQueryKeymap(m_connection->display(), keymap.data());
    return keymap;
}

bool X11KeyboardHold::isDown(const Keymap& keymap, unsigned keyCode)
{
    return keyCode < 256 && (keymap[keyCode / 8] & (1 << (keyCode % 8)));
}

QList<X11KeyboardHold::PostedKey> X11KeyboardHold::keysTypingAgain(const HeldKey& key, const Keymap& keymap)
{
    // The server ignores the release of a key that is no longer down (its press reached the
    // field before the hold, or the user has let go of it already).
    if (!key.press && !isDown(keymap, key.keyCode))
        return {};
    QList<PostedKey> keys;
    // A key the user has held down all along is let go of first, or its press would not count.
    if (key.press && isDown(keymap, key.keyCode))
        keys.append({key.keyCode, false, m_userData});

    // XTest keys take the server's live modifier state, which already includes every
    // modifier pressed or released while the keys were held: bring it to the state the key
    // was typed in, and back afterwards.
    const unsigned live = liveModifiers();
    struct Change {
        unsigned keyCode;
        bool press; // for a lock key: toggled with a press and a release
    };
    QList<Change> changes;
    for (unsigned bit : alignedModifiers) {
        const bool wanted = key.state & bit;
        if (bool(live & bit) == wanted)
            continue;
        // A modifier is lifted by releasing a key that holds it, set by pressing any.
        const unsigned keyCode = modifierKey(
            bit,
            bit == LockMask || wanted ? std::function<bool(unsigned)>()
                                      : [&keymap](unsigned code) { return isDown(keymap, code); });
        if (keyCode != 0)
            changes.append({keyCode, wanted});
    }
    const auto apply = [this, &keys](const Change& change, bool undo) {
        if (m_layout->isLockKey(change.keyCode)) {
            keys.append({change.keyCode, true, m_userData});
            keys.append({change.keyCode, false, m_userData});
        } else {
            keys.append({change.keyCode, change.press != undo, m_userData});
        }
    };
    for (const Change& change : std::as_const(changes))
        apply(change, false);
    keys.append({key.keyCode, key.press, PostedKeyLedger::heldKeyTypedAgain});
    for (auto it = changes.crbegin(); it != changes.crend(); ++it)
        apply(*it, true);
    return keys;
}

void X11KeyboardHold::send(const QList<PostedKey>& keys)
{
    for (const PostedKey& key : keys) {
        m_ledger.expect(key.press, key.keyCode, key.userData);
        XTestFakeKeyEvent(m_connection->display(), key.keyCode, key.press ? True : False, CurrentTime);
    }
}

unsigned X11KeyboardHold::liveModifiers() const
{
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned live = 0;
    XQueryPointer(m_connection->display(), m_connection->rootWindow(), &root, &child, &rootX, &rootY, &windowX,
        &windowY, &live);
    return live;
}

unsigned X11KeyboardHold::modifierKey(unsigned bit, const std::function<bool(unsigned)>& isDown) const
{
    for (unsigned keyCode = 8; keyCode < 256; ++keyCode) {
        if ((m_layout->modifierBits(keyCode) & bit) && m_layout->isLockKey(keyCode) == (bit == LockMask)
            && (!isDown || isDown(keyCode)))
            return keyCode;
    }
    return 0;
}
