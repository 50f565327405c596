#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QHash>
#include <QTest>
#include <gtest/gtest.h>

// The desktop portal's settings interface, as a desktop with the given settings offers it.
class FakePortalSettings : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QHash<QString, QVariant> values; // "group key" -> value

    void change(QDBusConnection& bus, const QString& group, const QString& key, const QVariant& value)
    {
        values.insert(group + u' ' + key, value);
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        bus.send(signal);
    }

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        const auto found = values.constFind(group + u' ' + key);
        if (found == values.constEnd()) {
            sendErrorReply(
                QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found"));
            return {};
        }
        // Like the real portal, Read answers with the value wrapped once more.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(*found)));
    }
};

// A desktop portal on the session bus, offered by the test on a connection of its own.
class PortalFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "needs a session D-Bus (run under scripts/with-desktop.sh)";
        portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"));
        ASSERT_TRUE(portalBus.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &portal, QDBusConnection::ExportAllSlots));
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

    // Waits until every read a new settings object sent has been answered: the bus keeps the
    // order of the messages between two connections, so the answer to one more read sent on the
    // same connection comes after theirs, and is delivered after them.
    static void settle()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
            QStringLiteral("/org/freedesktop/portal/desktop"), QStringLiteral("org.freedesktop.portal.Settings"),
            QStringLiteral("Read"));
        call << QStringLiteral("com.velmora.test") << QStringLiteral("settled");
        QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(call));
        bool answered = false;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, [&answered] { answered = true; });
        EXPECT_TRUE(QTest::qWaitFor([&answered] { return answered; }, 5000));
    }

    FakePortalSettings portal;
    QDBusConnection portalBus{QString()};
};
