#include "platform/linux/PortalRemoteDesktopKeyboard.h"
#include "DesktopSession.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
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
    // As a portal answers once the session is closed.
    bool refusesKeys = false;

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
        if (refusesKeys)
            return sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Invalid session"));
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

// The desktop's own part of the portal (xdg-desktop-portal-gnome), which carries the keys to the
// compositor: the portal hands keys on to it without waiting, so a session whose back end is gone
// takes keys and types nothing.
class FakeRemoteDesktopBackEnd : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.RemoteDesktop")
public Q_SLOTS:
    void NotifyKeyboardKeysym(const QDBusObjectPath&, const QString&, const QVariantMap&, int, uint) { }
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
        backEndBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-back-end"));
        ASSERT_TRUE(backEndBus.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &backEnd, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(backEndBus.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.gnome")));
    }

    void TearDown() override
    {
        // A skipped SetUp made no connection, and the unmade one has nothing to unregister on.
        if (portalBus.isConnected()) {
            portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
            portalBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-remote-desktop"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-back-end"));
    }

    static QList<SyntheticKeyEvent> paste(bool goToEnd = false)
    {
        QList<SyntheticKeyEvent> keys{
            SyntheticKeyEvent{Qt::Key_Paste, true, {}, 0}, SyntheticKeyEvent{Qt::Key_Paste, false, {}, 0}};
        if (goToEnd)
            keys << SyntheticKeyEvent{Qt::Key_End, true, {}, 0} << SyntheticKeyEvent{Qt::Key_End, false, {}, 0};
        return keys;
    }

    void allow(PortalRemoteDesktopKeyboard& keyboard)
    {
        keyboard.canPost();
        ASSERT_TRUE(DesktopSession::waitFor(
            [&] { return keyboard.state() == PortalRemoteDesktopKeyboard::State::ready; }, 5000));
    }

    FakeRemoteDesktop portal;
    QDBusConnection portalBus{QString()};
    FakeRemoteDesktopBackEnd backEnd;
    QDBusConnection backEndBus{QString()};
};

constexpr int pauseKeysym = 0xff13;
constexpr int pasteKeysym = 0x1008ff6d;
constexpr int endKeysym = 0xff57;

TEST_F(PortalKeyboard, asksOnceAndOnceAllowedTypesThePasteKeyBySymbolWithoutEverAModifier)
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
    // The compositor would apply a modifier of ours to the user's own keys: a key it cannot
    // name, or any modifier, is refused whole.
    EXPECT_FALSE(keyboard.post(1, {SyntheticKeyEvent{Qt::Key_F13, true, {}, 0}}));
    EXPECT_FALSE(keyboard.post(1,
        {SyntheticKeyEvent{Qt::Key_V, true, Qt::ControlModifier, 0},
            SyntheticKeyEvent{Qt::Key_V, false, Qt::ControlModifier, 0}}));
    EXPECT_FALSE(keyboard.post(1, {SyntheticKeyEvent{Qt::Key_End, true, Qt::ControlModifier, 0}}));
    ASSERT_TRUE(keyboard.post(1, paste(true)));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !keyboard.keysPending(); }, 5000));
    // A series begins with a key that types nothing: a first key lost by the compositor must
    // not be the paste.
    EXPECT_EQ(portal.keys,
        (QList<std::pair<int, uint>>{{pauseKeysym, 1}, {pauseKeysym, 0}, {pasteKeysym, 1}, {pasteKeysym, 0},
            {endKeysym, 1}, {endKeysym, 0}}));

    // Taken back while the first key is on its way: only that key's release follows, and neither
    // the paste nor End ever goes.
    portal.keys.clear();
    ASSERT_TRUE(keyboard.post(1, paste(true)));
    EXPECT_TRUE(keyboard.keysPending());
    EXPECT_EQ(keyboard.withdrawPending(), 2);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !keyboard.keysPending(); }, 5000));
    EXPECT_EQ(portal.keys, (QList<std::pair<int, uint>>{{pauseKeysym, 1}, {pauseKeysym, 0}}));
}

TEST_F(PortalKeyboard, aSessionWhoseBackEndLeftOrWhosePortalRefusesKeysPostsNothingMore)
{
    {
        PortalRemoteDesktopKeyboard keyboard(QDBusConnection::sessionBus());
        allow(keyboard);
        EXPECT_TRUE(keyboard.canPost());
        // The back end crashed: the portal would still take keys, which would reach nothing.
        ASSERT_TRUE(backEndBus.unregisterService(QStringLiteral("org.freedesktop.impl.portal.desktop.gnome")));
        ASSERT_TRUE(DesktopSession::waitFor(
            [&] { return keyboard.state() == PortalRemoteDesktopKeyboard::State::unavailable; }, 5000));
        EXPECT_FALSE(keyboard.canPost());
        EXPECT_FALSE(keyboard.post(1, paste()));
        EXPECT_TRUE(portal.keys.isEmpty());
    }
    // A key the portal refuses (its session closed): the paste is reported lost, not pending.
    PortalRemoteDesktopKeyboard keyboard(QDBusConnection::sessionBus());
    allow(keyboard);
    portal.refusesKeys = true;
    ASSERT_TRUE(keyboard.post(1, paste(true)));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return keyboard.keysLost(); }, 5000));
    EXPECT_FALSE(keyboard.keysPending());
    EXPECT_FALSE(keyboard.canPost());
    EXPECT_EQ(keyboard.withdrawPending(), 2);
    EXPECT_FALSE(keyboard.keysLost());
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
