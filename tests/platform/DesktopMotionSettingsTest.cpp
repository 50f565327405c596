#include "platform/linux/DesktopMotionSettings.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QHash>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The desktop portal's settings interface, as a desktop with the given settings offers it.
class FakePortalSettings : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QHash<QString, QVariant> values; // "group key" -> value

    void change(QDBusConnection& bus, const QString& group, const QString& key, const QVariant& value)
    {
        values.insert(group + u' ' + key, value);
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        bus.send(signal);
    }

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        const auto found = values.constFind(group + u' ' + key);
        if (found == values.constEnd()) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found"));
            return {};
        }
        // Like the real portal, Read answers with the value wrapped once more.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(*found)));
    }
};

class DesktopMotion : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "needs a session D-Bus (run under scripts/with-desktop.sh)";
        portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"));
        ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                             QDBusConnection::ExportAllSlots));
    }

    void TearDown() override
    {
        if (portalBus.isConnected()) {
            portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
            portalBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

    void offer() { ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))); }

    // Waits until every read of a new settings object has been answered.
    static void settle() { QTest::qWait(300); }

    FakePortalSettings portal;
    QDBusConnection portalBus{QString()};
};

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

#include "DesktopMotionSettingsTest.moc"
