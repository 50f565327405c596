#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "Engine/TextExpansionEngine.h"
#include "platform/AccessibilityTrust.h"
#include "platform/Workspace.h"
#include "platform/linux/LinuxAccessibilityTrust.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/X11Connection.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QThread>

namespace {

void setAccessibilityEnabled(bool enabled)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    call.setArguments(
        {QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled"), QVariant::fromValue(QDBusVariant(enabled))});
    QDBusConnection::sessionBus().call(call);
}

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_wasSet)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_previous;
};

TEST(LinuxAccessibilityTrust, theTestSessionIsTrusted)
{
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    LinuxAccessibilityTrust trust(X11Connection::open());
    EXPECT_TRUE(trust.isProcessTrusted()) << trust.untrustedReason().toStdString();
    EXPECT_TRUE(trust.untrustedReason().isEmpty());
}

TEST(LinuxAccessibilityTrust, switchedOffAccessibilityIsUntrustedUntilTheRequestSwitchesItOn)
{
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    setAccessibilityEnabled(false);
    LinuxAccessibilityTrust trust(X11Connection::open());
    EXPECT_FALSE(trust.isProcessTrusted());
    EXPECT_EQ(trust.untrustedReason(), "Accessibility is switched off for this session.");
    EXPECT_TRUE(trust.canRequestTrust());
    EXPECT_TRUE(trust.requestTrust());
    EXPECT_TRUE(LinuxAccessibilityTrust(X11Connection::open()).isProcessTrusted());
    setAccessibilityEnabled(true);
}

TEST(LinuxAccessibilityTrust, aSwitchMadeWhileRunningIsSeenWithoutWaitingForTheAnswerToGrowOld)
{
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    LinuxAccessibilityTrust trust(X11Connection::open());
    ASSERT_TRUE(trust.isProcessTrusted());
    // The bus announces the switch before it answers the call that made it; the announcement
    // is handed over once the event loop runs.
    setAccessibilityEnabled(false);
    // Well within the second an answer is kept where no announcement is heard.
    for (int turn = 0; turn < 300 && trust.isProcessTrusted(); ++turn) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    setAccessibilityEnabled(true);
    EXPECT_EQ(trust.untrustedReason(), "Accessibility is switched off for this session.");
}

TEST(LinuxAccessibilityTrust, withoutAnXDisplayTheReasonNamesX11)
{
    ScopedEnvironment wayland("WAYLAND_DISPLAY", QByteArray());
    LinuxAccessibilityTrust trust(nullptr);
    EXPECT_FALSE(trust.isProcessTrusted());
    EXPECT_EQ(trust.untrustedReason(), "No X11 display: expansion needs an X11 or a Wayland session.");
    EXPECT_FALSE(trust.canRequestTrust());
    EXPECT_FALSE(trust.requestTrust());
}

TEST(LinuxAccessibilityTrust, aWaylandSessionNeedsNoXServerOnlyTheAccessibilityBus)
{
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    LinuxAccessibilityTrust trust(nullptr, SessionType::wayland);
    EXPECT_TRUE(trust.isProcessTrusted()) << trust.untrustedReason().toStdString();
    setAccessibilityEnabled(false);
    EXPECT_EQ(LinuxAccessibilityTrust(nullptr, SessionType::wayland).untrustedReason(),
        "Accessibility is switched off for this session.");
    setAccessibilityEnabled(true);
}

TEST(DesktopWithoutX11, theEngineDoesNotRunAndNothingBreaks)
{
    std::unique_ptr<LinuxDesktop> desktop;
    {
        ScopedEnvironment display("DISPLAY", QByteArray());
        desktop = std::make_unique<LinuxDesktop>(SessionType::x11);
    }
    const Desktop services = desktop->desktop();
    ASSERT_TRUE(services.isComplete());
    EXPECT_FALSE(services.trust->isProcessTrusted());
    EXPECT_TRUE(services.trust->untrustedReason().contains("X11"));
    EXPECT_FALSE(services.workspace->frontmostProcessId().has_value());

    TextExpansionEngine engine(services);
    engine.start({}, [](const QString&, const QString&, const QString&) {});
    EXPECT_FALSE(engine.isRunning());
    engine.stop();
}

}
