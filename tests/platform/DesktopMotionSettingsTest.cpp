#include "platform/linux/DesktopMotionSettings.h"

#include "PortalFixture.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class DesktopMotion : public PortalFixture { };

TEST_F(DesktopMotion, WithoutAPortalNothingIsReduced)
{
    DesktopMotionSettings settings;
    settle();
    EXPECT_FALSE(settings.reduceMotion());
}

TEST_F(DesktopMotion, ThePortalsReducedMotionPreferenceIsFollowed)
{
    portal.values.insert(QStringLiteral("org.freedesktop.appearance reduced-motion"), QVariant::fromValue(1u));
    offer();
    DesktopMotionSettings settings;
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.reduceMotion(); }, 2000));
}

TEST_F(DesktopMotion, GnomeWithAnimationsOffReducesMotion)
{
    portal.values.insert(QStringLiteral("org.gnome.desktop.interface enable-animations"), false);
    offer();
    DesktopMotionSettings settings;
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.reduceMotion(); }, 2000));
}

TEST_F(DesktopMotion, KdeWithAZeroAnimationFactorReducesMotion)
{
    portal.values.insert(QStringLiteral("org.kde.kdeglobals.KDE AnimationDurationFactor"), 0.0);
    offer();
    DesktopMotionSettings settings;
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.reduceMotion(); }, 2000));
}

TEST_F(DesktopMotion, ThePortalsOwnPreferenceOutranksTheDesktopsAnimationSetting)
{
    portal.values.insert(QStringLiteral("org.freedesktop.appearance reduced-motion"), QVariant::fromValue(0u));
    portal.values.insert(QStringLiteral("org.gnome.desktop.interface enable-animations"), false);
    offer();
    DesktopMotionSettings settings;
    settle();
    EXPECT_FALSE(settings.reduceMotion());
}

TEST_F(DesktopMotion, AChangeOnTheDesktopIsFollowedAndAnnounced)
{
    portal.values.insert(QStringLiteral("org.gnome.desktop.interface enable-animations"), true);
    offer();
    DesktopMotionSettings settings;
    QSignalSpy changes(&settings, &MotionSettings::reduceMotionChanged);
    settle();
    ASSERT_FALSE(settings.reduceMotion());

    portal.change(portalBus, QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"), false);

    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.reduceMotion(); }, 2000));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_TRUE(changes.first().first().toBool());
}

} // namespace
