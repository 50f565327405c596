#pragma once

#include <QList>
#include <QSet>
#include <QtGlobal>
#include <array>
#include <optional>

class PostedKeyLedger;
class X11KeyboardLayout;
typedef struct _XDisplay Display;

// The keyboard a modifier alignment works on: which keys are modifiers, what is down, and a way
// to send key presses and releases (through XTest on the server, a double in tests).
class X11ModifierKeyboard {
public:
    using Keymap = std::array<char, 32>;

    virtual ~X11ModifierKeyboard() = default;

    virtual unsigned modifierBits(unsigned keyCode) const = 0;
    virtual bool isLockKey(unsigned keyCode) const = 0;
    // Both answer with every key sent before carried out.
    virtual Keymap keysDown() = 0;
    virtual unsigned modifierState() = 0;
    virtual void send(unsigned keyCode, bool press) = 0;
    // A release sent was ignored by the server: no event comes of it.
    virtual void releaseIgnored(unsigned keyCode) = 0;

    // The modifiers that only lock keys set (a Shift Lock beside the Shift keys leaves Shift an
    // ordinary modifier).
    unsigned lockBits() const;

    static bool isDown(const Keymap& keys, unsigned keyCode)
    {
        return keyCode < 256 && (keys[keyCode / 8] & (1 << (keyCode % 8)));
    }
};

// Brings the server's modifiers to what a synthetic key must be pressed with, and afterwards
// back to the user's. Synthetic keys take the live modifier state, which holds the user's keys
// and those pressed by other programs typing through XTest.
//
// Every key down that gives an unwanted modifier is let go of (two Shift keys down both go). The
// server ignores the release of a key that another device holds (the user's real keyboard): such
// a key is left alone afterwards, as pressing it again on our device would leave it down once the
// user lets go. A lock key is never held: its modifier is toggled with a press and a release, and
// toggled back. restore() lets go of every key it pressed, and presses again only the keys whose
// release it caused.
class X11ModifierAlignment {
public:
    // Only `alignedBits` are brought to what is wanted; the others stay as the user has them.
    X11ModifierAlignment(X11ModifierKeyboard& keyboard, unsigned alignedBits);
    // With the keys down now, read by the caller.
    X11ModifierAlignment(
        X11ModifierKeyboard& keyboard, unsigned alignedBits, const X11ModifierKeyboard::Keymap& keysDown);
    X11ModifierAlignment(const X11ModifierAlignment&) = delete;
    X11ModifierAlignment& operator=(const X11ModifierAlignment&) = delete;

    // Whether some key sets each of `bits`.
    bool canSet(unsigned bits) const;
    // Before each key: the aligned modifiers become exactly `wanted`.
    void alignTo(unsigned wanted);
    // After the last key.
    void restore();

private:
    // The first key, in key code order, that sets `bit` and no aligned modifier outside `wanted`.
    unsigned keyFor(unsigned bit, unsigned wanted, bool lock) const;

    X11ModifierKeyboard& m_keyboard;
    unsigned m_aligned;
    // Modifier keys (not locks) down now, as far as our keys go.
    QSet<unsigned> m_down;
    // Those down before any key of ours.
    QSet<unsigned> m_downBefore;
    // Released by us, with effect, from those down before.
    QSet<unsigned> m_liftedFromBefore;
    // Down on another device: our release did nothing.
    QSet<unsigned> m_heldElsewhere;
    std::optional<unsigned> m_lockState;
    // Lock keys toggled an odd number of times.
    QList<unsigned> m_toggled;
};

// The server's keyboard, reached through XTest on a connection; every key sent is expected in
// the ledger with the current tag.
class X11ServerModifierKeyboard final : public X11ModifierKeyboard {
public:
    X11ServerModifierKeyboard(Display* display, const X11KeyboardLayout& layout, PostedKeyLedger& ledger, quint64 tag);

    void setTag(quint64 tag) { m_tag = tag; }
    // The modifiers in force on the display's keyboard.
    static unsigned liveModifiers(Display* display);

    unsigned modifierBits(unsigned keyCode) const override;
    bool isLockKey(unsigned keyCode) const override;
    Keymap keysDown() override;
    unsigned modifierState() override;
    void send(unsigned keyCode, bool press) override;
    void releaseIgnored(unsigned keyCode) override;

private:
    Display* m_display;
    const X11KeyboardLayout& m_layout;
    PostedKeyLedger& m_ledger;
    quint64 m_tag;
};
