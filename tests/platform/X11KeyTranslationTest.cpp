#include <gtest/gtest.h>

#include "Engine/TextExpansionEngine.h"
#include "platform/linux/X11KeyTranslation.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace {

TEST(X11KeyTranslation, everyResetKeyAndVComeBackFromTheSymbolPostedForThem)
{
    QList<int> keys = TextExpansionEngine::resetKeys;
    keys << Qt::Key_V << Qt::Key_Space;
    for (int key : keys) {
        const KeySym symbol = X11KeyTranslation::symbolForKey(key);
        EXPECT_NE(symbol, KeySym(NoSymbol)) << key;
        EXPECT_EQ(X11KeyTranslation::qtKey(symbol), key) << key;
    }
}

TEST(X11KeyTranslation, keypadNavigationShiftTabAndCapitalVCountAsTheKeysTheyStandFor)
{
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_KP_Left), Qt::Key_Left);
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_KP_Home), Qt::Key_Home);
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_KP_Next), Qt::Key_PageDown);
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_KP_Delete), Qt::Key_Delete);
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_ISO_Left_Tab), Qt::Key_Tab);
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_V), Qt::Key_V);
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_v), Qt::Key_V);
}

TEST(X11KeyTranslation, otherKeysAreNoneOfTheResetKeys)
{
    for (KeySym symbol : {KeySym(XK_a), KeySym(XK_slash), KeySym(XK_KP_5), KeySym(XK_F5), KeySym(XK_EuroSign)})
        EXPECT_FALSE(TextExpansionEngine::resetKeys.contains(X11KeyTranslation::qtKey(symbol))) << symbol;
    EXPECT_EQ(X11KeyTranslation::qtKey(XK_EuroSign), Qt::Key_unknown);
}

TEST(X11KeyTranslation, postedKeysTurnIntoTheirMainSymbol)
{
    EXPECT_EQ(X11KeyTranslation::symbolForKey(Qt::Key_V), KeySym(XK_v));
    EXPECT_EQ(X11KeyTranslation::symbolForKey(Qt::Key_Return), KeySym(XK_Return));
    EXPECT_EQ(X11KeyTranslation::symbolForKey(Qt::Key_Left), KeySym(XK_Left));
    EXPECT_EQ(X11KeyTranslation::symbolForKey(Qt::Key_unknown), KeySym(NoSymbol));
}

TEST(X11KeyTranslation, ctrlAltShiftAndSuperAreTheirQtModifiers)
{
    const unsigned alt = Mod1Mask;
    const unsigned super = Mod4Mask;
    EXPECT_EQ(X11KeyTranslation::modifiers(ControlMask, alt, super), Qt::ControlModifier);
    EXPECT_EQ(X11KeyTranslation::modifiers(Mod1Mask, alt, super), Qt::AltModifier);
    EXPECT_EQ(X11KeyTranslation::modifiers(Mod4Mask, alt, super), Qt::MetaModifier);
    EXPECT_EQ(X11KeyTranslation::modifiers(ShiftMask | LockMask, alt, super), Qt::ShiftModifier);
}

TEST(X11KeyTranslation, altGrNumLockAndButtonsGiveNoModifiers)
{
    EXPECT_EQ(X11KeyTranslation::modifiers(Mod5Mask | Mod2Mask | Button1Mask, Mod1Mask, Mod4Mask), Qt::NoModifier);
}

}
