#include "X11ModifierAlignment.h"

#include "PostedKeyLedger.h"
#include "X11KeyboardLayout.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {
constexpr unsigned firstKeyCode = 8;
constexpr unsigned keyCodeEnd = 256;
constexpr unsigned modifierBitCount = 8;
} // namespace

X11ModifierAlignment::X11ModifierAlignment(X11ModifierKeyboard& keyboard, unsigned alignedBits)
    : X11ModifierAlignment(keyboard, alignedBits, keyboard.keysDown())
{
}

X11ModifierAlignment::X11ModifierAlignment(
    X11ModifierKeyboard& keyboard, unsigned alignedBits, const X11ModifierKeyboard::Keymap& keys)
    : m_keyboard(keyboard)
    , m_aligned(alignedBits)
{
    for (unsigned keyCode = firstKeyCode; keyCode < keyCodeEnd; ++keyCode) {
        if (X11ModifierKeyboard::isDown(keys, keyCode) && m_keyboard.modifierBits(keyCode) != 0
            && !m_keyboard.isLockKey(keyCode))
            m_down.insert(keyCode);
    }
    m_downBefore = m_down;
}

unsigned X11ModifierKeyboard::lockBits() const
{
    unsigned locked = 0;
    unsigned held = 0;
    for (unsigned keyCode = firstKeyCode; keyCode < keyCodeEnd; ++keyCode)
        (isLockKey(keyCode) ? locked : held) |= modifierBits(keyCode);
    return locked & ~held;
}

unsigned X11ModifierAlignment::keyFor(unsigned bit, unsigned wanted, bool lock) const
{
    for (unsigned keyCode = firstKeyCode; keyCode < keyCodeEnd; ++keyCode) {
        const unsigned bits = m_keyboard.modifierBits(keyCode);
        if ((bits & bit) && m_keyboard.isLockKey(keyCode) == lock && (lock || !(bits & m_aligned & ~wanted)))
            return keyCode;
    }
    return 0;
}

bool X11ModifierAlignment::canSet(unsigned bits) const
{
    const unsigned locks = m_keyboard.lockBits();
    for (unsigned i = 0; i < modifierBitCount; ++i) {
        const unsigned bit = 1U << i;
        if ((bits & bit) && keyFor(bit, bits, locks & bit) == 0)
            return false;
    }
    return true;
}

void X11ModifierAlignment::alignTo(unsigned wanted)
{
    wanted &= m_aligned;
    const unsigned locks = m_keyboard.lockBits() & m_aligned;

    QList<unsigned> lifted;
    for (auto it = m_down.begin(); it != m_down.end();) {
        if (!(m_keyboard.modifierBits(*it) & m_aligned & ~wanted)) {
            ++it;
            continue;
        }
        m_keyboard.send(*it, false);
        lifted.append(*it);
        it = m_down.erase(it);
    }
    if (!lifted.isEmpty()) {
        const X11ModifierKeyboard::Keymap keys = m_keyboard.keysDown();
        for (unsigned keyCode : std::as_const(lifted)) {
            if (X11ModifierKeyboard::isDown(keys, keyCode)) {
                m_keyboard.releaseIgnored(keyCode);
                m_heldElsewhere.insert(keyCode);
            } else if (m_downBefore.contains(keyCode)) {
                m_liftedFromBefore.insert(keyCode);
            }
        }
    }

    if (locks != 0) {
        if (!m_lockState)
            m_lockState = m_keyboard.modifierState() & locks;
        for (unsigned i = 0; i < modifierBitCount; ++i) {
            const unsigned bit = 1U << i;
            if (!(locks & bit) || bool(*m_lockState & bit) == bool(wanted & bit))
                continue;
            const unsigned keyCode = keyFor(bit, wanted, true);
            if (keyCode == 0)
                continue;
            m_keyboard.send(keyCode, true);
            m_keyboard.send(keyCode, false);
            *m_lockState ^= m_keyboard.modifierBits(keyCode) & locks;
            if (!m_toggled.removeOne(keyCode))
                m_toggled.append(keyCode);
        }
    }

    unsigned present = 0;
    for (unsigned keyCode : std::as_const(m_down))
        present |= m_keyboard.modifierBits(keyCode);
    for (unsigned keyCode : std::as_const(m_heldElsewhere))
        present |= m_keyboard.modifierBits(keyCode);
    for (unsigned i = 0; i < modifierBitCount; ++i) {
        const unsigned bit = 1U << i;
        if (!(wanted & bit) || (locks & bit) || (present & bit))
            continue;
        if (const unsigned keyCode = keyFor(bit, wanted, false)) {
            m_keyboard.send(keyCode, true);
            m_down.insert(keyCode);
            present |= m_keyboard.modifierBits(keyCode);
        }
    }
}

void X11ModifierAlignment::restore()
{
    for (unsigned keyCode : std::as_const(m_down)) {
        if (!m_downBefore.contains(keyCode))
            m_keyboard.send(keyCode, false);
    }
    for (unsigned keyCode : std::as_const(m_liftedFromBefore)) {
        if (!m_down.contains(keyCode))
            m_keyboard.send(keyCode, true);
    }
    for (unsigned keyCode : std::as_const(m_toggled)) {
        m_keyboard.send(keyCode, true);
        m_keyboard.send(keyCode, false);
    }
    m_down = m_downBefore;
    m_liftedFromBefore.clear();
    m_toggled.clear();
    m_lockState.reset();
}

X11ServerModifierKeyboard::X11ServerModifierKeyboard(
    Display* display, const X11KeyboardLayout& layout, PostedKeyLedger& ledger, quint64 tag)
    : m_display(display)
    , m_layout(layout)
    , m_ledger(ledger)
    , m_tag(tag)
{
}

unsigned X11ServerModifierKeyboard::modifierBits(unsigned keyCode) const
{
    return m_layout.modifierBits(keyCode);
}

bool X11ServerModifierKeyboard::isLockKey(unsigned keyCode) const
{
    return m_layout.isLockKey(keyCode);
}

X11ModifierKeyboard::Keymap X11ServerModifierKeyboard::keysDown()
{
    // The server answers after carrying out every request sent before: no sync is needed
    // first (the paste keys wait under a server grab for each round trip).
    Keymap keys{};
    XQueryKeymap(m_display, keys.data());
    return keys;
}

unsigned X11ServerModifierKeyboard::modifierState()
{
    return liveModifiers(m_display);
}

unsigned X11ServerModifierKeyboard::liveModifiers(Display* display)
{
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned state = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX, &windowY, &state);
    return state;
}

void X11ServerModifierKeyboard::send(unsigned keyCode, bool press)
{
    m_ledger.expect(press, keyCode, m_tag);
    XTestFakeKeyEvent(m_display, keyCode, press ? True : False, CurrentTime);
}

void X11ServerModifierKeyboard::releaseIgnored(unsigned keyCode)
{
    m_ledger.forget(false, keyCode);
}
