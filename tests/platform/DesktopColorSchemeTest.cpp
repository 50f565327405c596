#include "platform/linux/DesktopColorScheme.h"

#include "PortalFixture.h"

#include <QApplication>
#include <QSignalSpy>

namespace {

const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("org.freedesktop.appearance color-scheme");

class DesktopColors : public PortalFixture {
protected:
    void TearDown() override
    {
        QApplication::setPalette(QPalette());
        PortalFixture::TearDown();
    }

    static void usePalette(const QColor& window)
    {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        QApplication::setPalette(palette);
    }
};

TEST_F(DesktopColors, ThePortalsDarkPreferenceIsFollowed)
{
    usePalette(Qt::white);
    portal.values.insert(colorSchemeKey, QVariant::fromValue(1u));
    offer();
    DesktopColorScheme scheme;
    EXPECT_TRUE(QTest::qWaitFor([&] { return scheme.appearance() == Appearance::dark; }, 2000));
}

TEST_F(DesktopColors, ThePortalsLightPreferenceOutranksADarkPalette)
{
    usePalette(QColor(30, 30, 30));
    portal.values.insert(colorSchemeKey, QVariant::fromValue(2u));
    offer();
    DesktopColorScheme scheme;
    EXPECT_TRUE(QTest::qWaitFor([&] { return scheme.appearance() == Appearance::light; }, 2000));
}

TEST_F(DesktopColors, WithoutAPreferenceThePalettesBrightnessDecides)
{
    usePalette(QColor(30, 30, 30));
    portal.values.insert(colorSchemeKey, QVariant::fromValue(0u));
    offer();
    DesktopColorScheme scheme;
    settle();
    EXPECT_EQ(scheme.appearance(), Appearance::dark);

    QSignalSpy changes(&scheme, &SystemAppearance::appearanceChanged);
    usePalette(QColor(240, 240, 240));
    EXPECT_EQ(scheme.appearance(), Appearance::light);
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(DesktopColors, WithoutAPortalThePalettesBrightnessDecides)
{
    usePalette(QColor(20, 20, 25));
    DesktopColorScheme scheme;
    settle();
    EXPECT_EQ(scheme.appearance(), Appearance::dark);
}

TEST_F(DesktopColors, ASwitchOnTheDesktopIsFollowedAndAnnounced)
{
    usePalette(Qt::white);
    portal.values.insert(colorSchemeKey, QVariant::fromValue(2u));
    offer();
    DesktopColorScheme scheme;
    QSignalSpy changes(&scheme, &SystemAppearance::appearanceChanged);
    settle();
    ASSERT_EQ(scheme.appearance(), Appearance::light);

    portal.change(portalBus, appearanceGroup, QStringLiteral("color-scheme"), QVariant::fromValue(1u));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.appearance() == Appearance::dark; }, 2000));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.first().first().value<Appearance>(), Appearance::dark);
}

} // namespace
