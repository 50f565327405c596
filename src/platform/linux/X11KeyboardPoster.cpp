#include "X11KeyboardPoster.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11KeyTranslation.h"
#include "X11KeyboardHold.h"
#include "X11KeyboardLayout.h"

#include <QHash>
#include <QSet>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <array>

namespace {

using KeyState = std::array<char, 32>;

bool isDown(const KeyState& keys, unsigned keyCode)
{
    return keyCode < 256 && (keys[keyCode / 8] & (1 << (keyCode % 8)));
}

// The modifier each modifier key of ours stands for, and the key posted for it.
constexpr std::pair<Qt::KeyboardModifier, KeySym> modifierKeys[] = {
    {Qt::ShiftModifier, XK_Shift_L},
    {Qt::ControlModifier, XK_Control_L},
    {Qt::AltModifier, XK_Alt_L},
    {Qt::MetaModifier, XK_Super_L},
};

constexpr Qt::KeyboardModifiers postable = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

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
        const KeySym symbol = X11KeyTranslation::symbolForKey(event.key);
        const unsigned keyCode = symbol ? m_layout->keyCodeOf(symbol) : 0;
        if (keyCode == 0)
            return false;
        keyCodes.append(keyCode);
    }
    QHash<Qt::KeyboardModifier, unsigned> modifierKeyCodes;
    for (const auto& [modifier, symbol] : modifierKeys) {
        if (const unsigned keyCode = m_layout->keyCodeOf(symbol))
            modifierKeyCodes.insert(modifier, keyCode);
    }
    for (const SyntheticKeyEvent& event : events) {
        for (const auto& [modifier, symbol] : modifierKeys) {
            if (event.modifiers.testFlag(modifier) && !modifierKeyCodes.contains(modifier))
                return false;
        }
    }

    // Keys go out through the hold's connection, which the hold's server grab lets through.
    Display* display = m_hold && m_hold->display() ? m_hold->display() : m_connection->display();
    if (m_hold)
        m_hold->suspend();
    KeyState keys{};
    XQueryKeymap(display, keys.data());
    // Modifier keys down now, and the modifiers each one gives.
    QHash<unsigned, Qt::KeyboardModifiers> down;
    for (unsigned keyCode = 8; keyCode < 256; ++keyCode) {
        const unsigned bits = m_layout->modifierBits(keyCode);
        if (isDown(keys, keyCode) && bits != 0 && !m_layout->isLockKey(keyCode))
            down.insert(
                keyCode, X11KeyTranslation::modifiers(bits, m_layout->altMask(), m_layout->superMask()) & postable);
    }
    const QHash<unsigned, Qt::KeyboardModifiers> heldByUser = down;
    QSet<unsigned> liftedFromUser;

    const auto send = [&](unsigned keyCode, bool press, quint64 tag) {
        m_ledger.expect(press, keyCode, tag);
        XTestFakeKeyEvent(display, keyCode, press ? True : False, CurrentTime);
    };

    for (qsizetype i = 0; i < events.size(); ++i) {
        const SyntheticKeyEvent& event = events.at(i);
        const Qt::KeyboardModifiers wanted = event.modifiers & postable;
        QList<unsigned> lifted;
        for (auto it = down.begin(); it != down.end();) {
            // A key that gives a wanted modifier stays; every other modifier goes, AltGr included.
            if (it.value() != Qt::NoModifier && !(it.value() & ~wanted)) {
                ++it;
                continue;
            }
            send(it.key(), false, event.tag);
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
        Qt::KeyboardModifiers present;
        for (Qt::KeyboardModifiers modifiers : std::as_const(down))
            present |= modifiers;
        for (const auto& [modifier, symbol] : modifierKeys) {
            if (wanted.testFlag(modifier) && !present.testFlag(modifier)) {
                const unsigned keyCode = modifierKeyCodes.value(modifier);
                send(keyCode, true, event.tag);
                down.insert(keyCode, modifier);
            }
        }
        send(keyCodes.at(i), event.press, event.tag);
    }

    const quint64 lastTag = events.last().tag;
    for (auto it = down.cbegin(); it != down.cend(); ++it) {
        if (!heldByUser.contains(it.key()))
            send(it.key(), false, lastTag);
    }
    for (unsigned keyCode : std::as_const(liftedFromUser)) {
        if (!down.contains(keyCode))
            send(keyCode, true, lastTag);
    }
    if (m_hold)
        m_hold->resume();
    XSync(display, False);
    return true;
}
