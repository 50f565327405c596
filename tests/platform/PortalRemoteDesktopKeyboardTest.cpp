#include "platform/linux/PortalRemoteDesktopKeyboard.h"
#include "DesktopSession.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The desktop portal's remote-desktop interface as the desktop offers it: each call answers
// through its request object once "the user" has answered, which `consent` decides.
class FakeRemoteDesktop : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
public:
    uint consent = 0; // 0 allowed, 1 cancelled
    int sessionsAsked = 0;
    QList<std::pair<int, uint>> keys;

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options)
    {
        ++sessionsAsked;
        return answer(options, 0,
            {{QStringLiteral("session_handle"),
                QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                    .arg(sender(), options.value(QStringLiteral("session_handle_token")).toString())}});
    }
    QDBusObjectPath SelectDevices(const QDBusObjectPath&, const QVariantMap& options) { return answer(options, 0, {}); }
    QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options)
    {
        return answer(options, consent, {{QStringLiteral("devices"), 1u}});
    }
    void NotifyKeyboardKeysym(const QDBusObjectPath&, const QVariantMap&, int keysym, uint state)
    {
        keys.append({keysym, state});
    }

private:
    QString sender() const
    {
        QString name = message().service().mid(1);
        return name.replace(u'.', u'_');
    }
    QDBusObjectPath answer(const QVariantMap& options, uint response, const QVariantMap& results)
    {
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender(), options.value(QStringLiteral("handle_token")).toString());
        const QString destination = message().service();
        QDBusConnection bus = connection();
        // Later, as a user answering a dialog would.
        QTimer::singleShot(10, this, [bus, path, destination, response, results]() mutable {
            QDBusMessage signal = QDBusMessage::createTargetedSignal(
                destination, path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            signal << response << results;
            bus.send(signal);
        });
        return QDBusObjectPath(path);
    }
};

class PortalKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "needs a session D-Bus (run under scripts/with-desktop.sh)";
        portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-remote-desktop"));
        ASSERT_TRUE(portalBus.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &portal, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    void TearDown() override
    {
        // A skipped SetUp made no connection, and the unmade one has nothing to unregister on.
        if (portalBus.isConnected()) {
            portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
            portalBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-remote-desktop"));
    }

    static QList<SyntheticKeyEvent> paste()
    {
        return {SyntheticKeyEvent{Qt::Key_V, true, Qt::ControlModifier, 0},
            SyntheticKeyEvent{Qt::Key_V, false, Qt::ControlModifier, 0}};
    }

    FakeRemoteDesktop portal;
    QDBusConnection portalBus{QString()};
};

TEST_F(PortalKeyboard, asksOnceAndOnceAllowedTypesTheShortcutByKeySymbolWithNoModifierLeftDown)
{
    PortalRemoteDesktopKeyboard keyboard(QDBusConnection::sessionBus());
    EXPECT_EQ(keyboard.state(), PortalRemoteDesktopKeyboard::State::idle);
    // Nothing can be posted while the user is asked.
    EXPECT_FALSE(keyboard.post(1, paste()));
    EXPECT_FALSE(keyboard.canPost());
    ASSERT_TRUE(
        DesktopSession::waitFor([&] { return keyboard.state() == PortalRemoteDesktopKeyboard::State::ready; }, 5000));
    EXPECT_EQ(portal.sessionsAsked, 1);
    EXPECT_TRUE(keyboard.canPost());
    // A key it cannot name is refused whole.
    EXPECT_FALSE(keyboard.post(1, {SyntheticKeyEvent{Qt::Key_F13, true, {}, 0}}));
    ASSERT_TRUE(keyboard.post(1, paste()));
    // A tap of Ctrl first: a first key lost by the compositor must not be the paste's Ctrl.
    const QList<std::pair<int, uint>> expected
        = {{0xffe3, 1}, {0xffe3, 0}, {0xffe3, 1}, {'v', 1}, {'v', 0}, {0xffe3, 0}};
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !keyboard.keysPending(); }, 5000));
    EXPECT_EQ(portal.keys, expected);

    // Taken back while the first key is on its way: only that key's release follows, and the
    // "v" never goes.
    portal.keys.clear();
    ASSERT_TRUE(keyboard.post(1, paste()));
    EXPECT_TRUE(keyboard.keysPending());
    EXPECT_EQ(keyboard.withdrawPending(), 1);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !keyboard.keysPending(); }, 5000));
    EXPECT_EQ(portal.keys, (QList<std::pair<int, uint>>{{0xffe3, 1}, {0xffe3, 0}}));
}

TEST_F(PortalKeyboard, aRefusalIsNotAskedAgain)
{
    portal.consent = 1;
    PortalRemoteDesktopKeyboard keyboard(QDBusConnection::sessionBus());
    EXPECT_FALSE(keyboard.canPost());
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return keyboard.state() == PortalRemoteDesktopKeyboard::State::unavailable; }, 5000));
    EXPECT_FALSE(keyboard.canPost());
    EXPECT_FALSE(keyboard.post(1, paste()));
    EXPECT_EQ(portal.sessionsAsked, 1);
    EXPECT_TRUE(portal.keys.isEmpty());
}

} // namespace

#include "PortalRemoteDesktopKeyboardTest.moc"
