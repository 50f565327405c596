#include "Painting.h"

#include "FakeWindowEffects.h"
#include "Views/Components/VisualEffectBackground.h"

#include <QWindow>
#include <gtest/gtest.h>

namespace {

using Material = VisualEffectBackground::Material;
using Blending = VisualEffectBackground::BlendingMode;
using Backdrop_ = VisualEffectBackground::Backdrop;

} // namespace

TEST(VisualEffectBackground, WithoutACompositorTheWindowStaysOpaqueAndTheMaterialIsSolid)
{
    QWidget window;
    auto* background = new VisualEffectBackground(Material::hudWindow, Blending::behindWindow, &window);
    background->setTint(&Theme::windowTint);
    window.resize(100, 100);
    background->resize(100, 100);
    window.show();
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(background->backdrop(), Backdrop_::opaque);
    EXPECT_EQ(background->materialColor().alpha(), 255);
    const QColor painted = background->grab().toImage().pixelColor(50, 50);
    EXPECT_TRUE(sameColour(painted, over(Theme::windowTint(), background->materialColor())));
}

TEST(VisualEffectBackground, WithACompositorTheWindowIsSeeThroughAndTheMaterialNearlyOpaque)
{
    FakeWindowEffects effects(true, false);
    QWidget window;
    auto* background = new VisualEffectBackground(Material::hudWindow, Blending::behindWindow, &window);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    window.show();
    EXPECT_EQ(background->backdrop(), Backdrop_::translucent);
    EXPECT_GE(background->materialColor().alphaF(), 0.9);
    EXPECT_LT(background->materialColor().alphaF(), 1.0);
    ASSERT_EQ(effects.blurRequests.size(), 1);
    EXPECT_FALSE(effects.blurRequests.first().second);
}

TEST(VisualEffectBackground, WhereTheWindowSystemBlursItIsAskedToAndTheMaterialIsLighter)
{
    FakeWindowEffects effects(true, true);
    QWidget window;
    auto* background = new VisualEffectBackground(Material::hudWindow, Blending::behindWindow, &window);
    window.show();
    EXPECT_EQ(background->backdrop(), Backdrop_::blurred);
    ASSERT_FALSE(effects.blurRequests.isEmpty());
    EXPECT_EQ(effects.blurRequests.last().first, window.windowHandle());
    EXPECT_TRUE(effects.blurRequests.last().second);
    EXPECT_LT(background->materialColor().alphaF(), 0.9);
}

TEST(VisualEffectBackground, AWindowAlreadyOnScreenIsLeftAsItIs)
{
    FakeWindowEffects effects(true, true);
    QWidget window;
    window.show();
    auto* background = new VisualEffectBackground(Material::hudWindow, Blending::behindWindow, &window);
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(background->backdrop(), Backdrop_::opaque);
}

TEST(VisualEffectBackground, WithinTheWindowItNeverChangesTheWindow)
{
    FakeWindowEffects effects(true, true);
    QWidget window;
    auto* background = new VisualEffectBackground(Material::regular, Blending::withinWindow, &window);
    window.show();
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(background->backdrop(), Backdrop_::opaque);
    EXPECT_TRUE(effects.blurRequests.isEmpty());
}

TEST(VisualEffectBackground, FollowsTheAppearance)
{
    VisualEffectBackground background(Material::hudWindow, Blending::behindWindow);
    const QColor light = background.materialColor();
    AppearanceGuard dark(Appearance::dark);
    EXPECT_LT(background.materialColor().lightness(), light.lightness());
}

TEST(VisualEffectBackground, ChangedMaterialAndBlendingTakeEffect)
{
    FakeWindowEffects effects(true, true);
    QWidget window;
    auto* background = new VisualEffectBackground(Material::regular, Blending::withinWindow, &window);
    const QColor regular = background->materialColor();
    background->setMaterial(Material::hudWindow);
    EXPECT_NE(background->materialColor(), regular);

    background->setBlendingMode(Blending::behindWindow);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground)) << "set before the window first shows";
    window.show();
    EXPECT_EQ(background->backdrop(), Backdrop_::blurred);

    background->setBlendingMode(Blending::withinWindow);
    EXPECT_EQ(background->backdrop(), Backdrop_::opaque);
    ASSERT_FALSE(effects.blurRequests.isEmpty());
    EXPECT_FALSE(effects.blurRequests.last().second) << "the blur is no longer asked for";
    EXPECT_EQ(background->materialColor().alpha(), 255);
}
