#include <gtest/gtest.h>

#include "platform/linux/X11ModifierAlignment.h"

#include <QHash>
#include <QSet>
#include <X11/X.h>

namespace {

enum Key : unsigned {
    control = 37,
    shiftLeft = 50,
    shiftRight = 62,
    altLeft = 64,
    capsLock = 66,
    numLock = 77,
    levelThree = 92,
    shiftLock = 200
};

// The server as XTest meets it: one key state per device, the real keyboard's and ours; a
// release of a key our device does not hold is dropped; a lock key toggles on its press.
class ServerKeyboard final : public X11ModifierKeyboard {
public:
    QSet<unsigned> real;
    QSet<unsigned> ours;
    unsigned locked = 0;
    QSet<unsigned> ignored;

    QHash<unsigned, unsigned> bits{{control, ControlMask}, {shiftLeft, ShiftMask}, {shiftRight, ShiftMask},
        {altLeft, Mod1Mask}, {capsLock, LockMask}, {numLock, Mod2Mask}, {levelThree, Mod5Mask}};
    QSet<unsigned> locks{capsLock, numLock, shiftLock};

    unsigned modifierBits(unsigned keyCode) const override { return bits.value(keyCode); }
    bool isLockKey(unsigned keyCode) const override { return locks.contains(keyCode); }
    Keymap keysDown() override
    {
        Keymap keys{};
        for (unsigned keyCode : real + ours)
            keys[keyCode / 8] = char(keys[keyCode / 8] | (1 << (keyCode % 8)));
        return keys;
    }
    unsigned modifierState() override
    {
        unsigned state = locked;
        for (unsigned keyCode : real + ours)
            state |= isLockKey(keyCode) ? 0 : modifierBits(keyCode);
        return state;
    }
    void send(unsigned keyCode, bool press) override
    {
        if (press && isLockKey(keyCode) && !ours.contains(keyCode))
            locked ^= modifierBits(keyCode);
        if (press)
            ours.insert(keyCode);
        else
            ours.remove(keyCode);
    }
    void releaseIgnored(unsigned keyCode) override { ignored.insert(keyCode); }
};

constexpr unsigned everyButLocks = 0xFF & ~(LockMask | Mod2Mask);

TEST(X11ModifierAlignment, everyKeyGivingAnUnwantedModifierIsLiftedAndPutBackAfterwards)
{
    // Another program typing through XTest holds both Shift keys and AltGr on our device.
    ServerKeyboard keyboard;
    keyboard.ours = {shiftLeft, shiftRight, levelThree};
    X11ModifierAlignment alignment(keyboard, everyButLocks);
    ASSERT_TRUE(alignment.canSet(ControlMask | Mod1Mask));
    alignment.alignTo(ControlMask);
    EXPECT_EQ(keyboard.modifierState(), unsigned(ControlMask));
    alignment.alignTo(ControlMask | ShiftMask);
    EXPECT_EQ(keyboard.modifierState(), unsigned(ControlMask | ShiftMask));
    alignment.restore();
    EXPECT_EQ(keyboard.ours, (QSet<unsigned>{shiftLeft, shiftRight, levelThree}));
    EXPECT_TRUE(keyboard.ignored.isEmpty());
}

TEST(X11ModifierAlignment, aReleaseTheServerIgnoredIsNotUndoneSoNoKeyStaysDownOnceTheUserLetsGo)
{
    ServerKeyboard keyboard;
    keyboard.real = {shiftLeft, levelThree};
    X11ModifierAlignment alignment(keyboard, everyButLocks);
    alignment.alignTo(ControlMask);
    EXPECT_EQ(keyboard.ignored, (QSet<unsigned>{shiftLeft, levelThree}));
    alignment.alignTo(ShiftMask);
    alignment.restore();
    keyboard.real.clear();
    EXPECT_TRUE(keyboard.ours.isEmpty());
    EXPECT_EQ(keyboard.modifierState(), 0U);
}

TEST(X11ModifierAlignment, lockKeysAreToggledForTheKeyAndBackNeverHeld)
{
    ServerKeyboard keyboard;
    keyboard.locked = LockMask | Mod2Mask;
    const unsigned heldKeyModifiers = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod4Mask | Mod5Mask;
    X11ModifierAlignment alignment(keyboard, heldKeyModifiers);
    alignment.alignTo(ShiftMask);
    // Num Lock is not among the aligned modifiers: it stays on.
    EXPECT_EQ(keyboard.modifierState(), unsigned(ShiftMask | Mod2Mask));
    alignment.restore();
    EXPECT_EQ(keyboard.modifierState(), unsigned(LockMask | Mod2Mask));
    EXPECT_TRUE(keyboard.ours.isEmpty());

    // Caps Lock off, wanted on; a modifier no key gives cannot be set.
    keyboard.locked = 0;
    X11ModifierAlignment again(keyboard, heldKeyModifiers);
    again.alignTo(LockMask);
    EXPECT_EQ(keyboard.modifierState(), unsigned(LockMask));
    again.restore();
    EXPECT_EQ(keyboard.modifierState(), 0U);
    EXPECT_FALSE(again.canSet(Mod4Mask));

    // A Shift Lock among the Shift keys leaves Shift held with a Shift key, not locked.
    keyboard.bits.insert(shiftLock, ShiftMask);
    X11ModifierAlignment withShiftLock(keyboard, heldKeyModifiers);
    withShiftLock.alignTo(ShiftMask);
    EXPECT_EQ(keyboard.ours, QSet<unsigned>{shiftLeft});
    withShiftLock.restore();
    EXPECT_EQ(keyboard.modifierState(), 0U);
}

} // namespace
