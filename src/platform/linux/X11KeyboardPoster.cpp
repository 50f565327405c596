#include "X11KeyboardPoster.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11KeyTranslation.h"
#include "X11KeyboardHold.h"
#include "X11KeyboardLayout.h"
#include "platform/InputEvent.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <QHash>
#include <QSet>
#include <array>

namespace {

using KeyState = std::array<char, 32>;

bool isDown(const KeyState& keys, unsigned keyCode)
{
    return keyCode < 256 && (keys[keyCode / 8] & (1 << (keyCode % 8)));
}

// The flags each modifier key of ours stands for, and the key posted for it.
constexpr std::pair<quint64, KeySym> modifierKeys[] = {
    {EventFlags::shift, XK_Shift_L},
    {EventFlags::command, XK_Control_L},
    {EventFlags::option, XK_Alt_L},
    {EventFlags::control, XK_Super_L},
};

constexpr quint64 postableFlags = EventFlags::shift | EventFlags::command | EventFlags::option | EventFlags::control;

}

X11KeyboardPoster::X11KeyboardPoster(
    std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger)
    : m_connection(std::move(connection))
    , m_layout(layout)
    , m_ledger(ledger)
{
}

bool X11KeyboardPoster::isAvailable() const
{
    return m_connection && m_layout && m_connection->hasExtension("XTEST");
}

bool X11KeyboardPoster::post(qint64 process, const QList<SyntheticKeyEvent>& events)
{
    if (!isAvailable())
        return false;
    if (events.isEmpty())
        return true;
    if (process > 0) {
        const qint64 frontmost = m_connection->frontmostProcess();
        if (frontmost > 0 && frontmost != process)
            return false;
    }

    QList<unsigned> keyCodes;
    for (const SyntheticKeyEvent& event : events) {
        const KeySym symbol = X11KeyTranslation::symbolForVirtualKey(event.keyCode);
        const unsigned keyCode = symbol ? m_layout->keyCodeOf(symbol) : 0;
        if (keyCode == 0)
            return false;
        keyCodes.append(keyCode);
    }
    QHash<quint64, unsigned> modifierKeyCodes;
    for (const auto& [flag, symbol] : modifierKeys) {
        if (const unsigned keyCode = m_layout->keyCodeOf(symbol))
            modifierKeyCodes.insert(flag, keyCode);
    }
    for (const SyntheticKeyEvent& event : events) {
        for (const auto& [flag, symbol] : modifierKeys) {
            if ((event.flags & flag) && !modifierKeyCodes.contains(flag))
                return false;
        }
    }

    // Keys go out through the hold's connection, which the hold's server grab lets through.
    Display* display = m_hold && m_hold->display() ? m_hold->display() : m_connection->display();
    if (m_hold)
        m_hold->suspend();
    KeyState keys{};
    XQueryKeymap(display, keys.data());
    // Modifier keys down now, and the flags each one gives.
    QHash<unsigned, quint64> down;
    for (unsigned keyCode = 8; keyCode < 256; ++keyCode) {
        const unsigned bits = m_layout->modifierBits(keyCode);
        if (isDown(keys, keyCode) && bits != 0 && !m_layout->isLockKey(keyCode)) {
            const quint64 flags = X11KeyTranslation::eventFlags(bits, m_layout->altMask(), m_layout->superMask());
            down.insert(keyCode, flags & postableFlags);
        }
    }
    const QHash<unsigned, quint64> heldByUser = down;
    QSet<unsigned> liftedFromUser;

    const auto send = [&](unsigned keyCode, bool press, quint64 userData) {
        m_ledger.expect(press, keyCode, userData);
        XTestFakeKeyEvent(display, keyCode, press ? True : False, CurrentTime);
    };

    for (qsizetype i = 0; i < events.size(); ++i) {
        const SyntheticKeyEvent& event = events.at(i);
        const quint64 wanted = event.flags & postableFlags;
        QList<unsigned> lifted;
        for (auto it = down.begin(); it != down.end();) {
            // A key that gives a wanted flag stays; every other modifier goes, AltGr included.
            if (it.value() != 0 && (it.value() & ~wanted) == 0) {
                ++it;
                continue;
            }
            send(it.key(), false, event.userData);
            lifted.append(it.key());
            it = down.erase(it);
        }
        if (!lifted.isEmpty()) {
            // The server ignores the release of a key that another device (the real keyboard)
            // holds; such a key is not expected back, and never pressed again, or it would stick.
            XSync(display, False);
            XQueryKeymap(display, keys.data());
            for (unsigned keyCode : lifted) {
                if (isDown(keys, keyCode))
                    m_ledger.forget(false, keyCode);
                else if (heldByUser.contains(keyCode))
                    liftedFromUser.insert(keyCode);
            }
        }
        quint64 present = 0;
        for (quint64 flags : std::as_const(down))
            present |= flags;
        for (const auto& [flag, symbol] : modifierKeys) {
            if ((wanted & flag) && !(present & flag)) {
                const unsigned keyCode = modifierKeyCodes.value(flag);
                send(keyCode, true, event.userData);
                down.insert(keyCode, flag);
            }
        }
        send(keyCodes.at(i), event.keyDown, event.userData);
    }

    const quint64 lastUserData = events.last().userData;
    for (auto it = down.cbegin(); it != down.cend(); ++it) {
        if (!heldByUser.contains(it.key()))
            send(it.key(), false, lastUserData);
    }
    for (unsigned keyCode : std::as_const(liftedFromUser)) {
        if (!down.contains(keyCode))
            send(keyCode, true, lastUserData);
    }
    if (m_hold)
        m_hold->resume();
    XSync(display, False);
    return true;
}
