#include <gtest/gtest.h>

#include "Engine/TextExpansionEngine.h"
#include "platform/InputEvent.h"
#include "platform/linux/X11KeyTranslation.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace {

TEST(X11KeyTranslation, everyResetKeyAndVComeBackFromTheSymbolPostedForThem)
{
    QList<quint16> codes = TextExpansionEngine::resetKeys;
    codes << VirtualKey::v << VirtualKey::space;
    for (quint16 code : codes) {
        const KeySym symbol = X11KeyTranslation::symbolForVirtualKey(code);
        EXPECT_NE(symbol, KeySym(NoSymbol)) << code;
        EXPECT_EQ(X11KeyTranslation::virtualKeyCode(symbol, 200), code) << code;
    }
}

TEST(X11KeyTranslation, keypadNavigationShiftTabAndCapitalVCountAsTheKeysTheyStandFor)
{
    EXPECT_EQ(X11KeyTranslation::virtualKeyCode(XK_KP_Left, 83), VirtualKey::leftArrow);
    EXPECT_EQ(X11KeyTranslation::virtualKeyCode(XK_KP_Home, 79), VirtualKey::home);
    EXPECT_EQ(X11KeyTranslation::virtualKeyCode(XK_KP_Next, 89), VirtualKey::pageDown);
    EXPECT_EQ(X11KeyTranslation::virtualKeyCode(XK_KP_Delete, 91), VirtualKey::forwardDelete);
    EXPECT_EQ(X11KeyTranslation::virtualKeyCode(XK_ISO_Left_Tab, 23), VirtualKey::tab);
    EXPECT_EQ(X11KeyTranslation::virtualKeyCode(XK_V, 55), VirtualKey::v);
}

TEST(X11KeyTranslation, otherKeysGetCodesThatAreNoneOfTheNamedOnes)
{
    QList<quint16> named = TextExpansionEngine::resetKeys;
    named << VirtualKey::v << VirtualKey::space;
    for (KeySym symbol : {KeySym(XK_a), KeySym(XK_slash), KeySym(XK_KP_5), KeySym(XK_F5), KeySym(XK_EuroSign)})
        EXPECT_FALSE(named.contains(X11KeyTranslation::virtualKeyCode(symbol, 38))) << symbol;
    EXPECT_NE(X11KeyTranslation::virtualKeyCode(XK_a, 38), X11KeyTranslation::virtualKeyCode(XK_s, 39));
}

TEST(X11KeyTranslation, postedCodesTurnIntoTheirMainSymbol)
{
    EXPECT_EQ(X11KeyTranslation::symbolForVirtualKey(VirtualKey::v), KeySym(XK_v));
    EXPECT_EQ(X11KeyTranslation::symbolForVirtualKey(VirtualKey::returnKey), KeySym(XK_Return));
    EXPECT_EQ(X11KeyTranslation::symbolForVirtualKey(VirtualKey::leftArrow), KeySym(XK_Left));
    EXPECT_EQ(X11KeyTranslation::symbolForVirtualKey(0), KeySym(NoSymbol));
    EXPECT_EQ(X11KeyTranslation::symbolForVirtualKey(X11KeyTranslation::unnamedKeyBase + 38), KeySym(NoSymbol));
}

TEST(X11KeyTranslation, ctrlIsCommandAltIsOptionAndSuperIsControl)
{
    const unsigned alt = Mod1Mask;
    const unsigned super = Mod4Mask;
    EXPECT_EQ(X11KeyTranslation::eventFlags(ControlMask, alt, super), EventFlags::command);
    EXPECT_EQ(X11KeyTranslation::eventFlags(Mod1Mask, alt, super), EventFlags::option);
    EXPECT_EQ(X11KeyTranslation::eventFlags(Mod4Mask, alt, super), EventFlags::control);
    EXPECT_EQ(X11KeyTranslation::eventFlags(ShiftMask | LockMask, alt, super), EventFlags::shift | EventFlags::alphaShift);
}

TEST(X11KeyTranslation, altGrNumLockAndButtonsGiveNoFlags)
{
    EXPECT_EQ(X11KeyTranslation::eventFlags(Mod5Mask | Mod2Mask | Button1Mask, Mod1Mask, Mod4Mask), 0u);
}

}
