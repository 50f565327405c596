#include "App/Shell/SingleInstance.h"
#include "VelmoraProcess.h"
#include "platform/linux/DesktopBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// The browser ends sign-in by starting "velmora <callback URL>" in the user's session, where a
// velmora is already running: here, this test in the running one's place.
TEST(BrowserReturn, AVelmoraStartedWithTheCallbackHandsItToTheRunningOneAndEnds)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs a display to start velmora";
    ASSERT_TRUE(QFileInfo(VelmoraProcess::programPath()).isExecutable()) << "build the velmora target first";
    VelmoraProcess browserStarted;
    SingleInstance running(QDir(browserStarted.runtimeFolder()).filePath(QStringLiteral("velmora.socket")));
    ASSERT_TRUE(running.claim());
    QSignalSpy handed(&running, &SingleInstance::urlReceived);
    QSignalSpy asked(&running, &SingleInstance::activationRequested);

    const QString callback = QStringLiteral("velmora://auth-callback?code=4%2Fq-Zx_9");
    EXPECT_EQ(browserStarted.startAgain({callback}), 0);
    ASSERT_EQ(handed.count(), 1);
    EXPECT_EQ(handed.first().first().toString(), callback);
    EXPECT_EQ(asked.count(), 0);
}

// Without a desktop, xdg-open runs the browser in its own foreground: a browser that dies
// right after it was opened shows as the launcher failing.
TEST(DesktopBrowserLaunch, ABrowserThatDiesAfterOpeningIsReportedAndOneThatHandsOverIsNot)
{
    const QUrl address(QStringLiteral("https://example.com/authorize?state=1"));
    DesktopBrowser dying({QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("kill -9 $$"),
        QStringLiteral("sh")});
    QSignalSpy failed(&dying, &ExternalBrowser::launchFailed);
    ASSERT_TRUE(dying.open(address));
    EXPECT_TRUE(failed.wait(5000));

    DesktopBrowser handing({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
        QStringLiteral("test \"$1\" = \"$0\" || exit 3"), address.toString(QUrl::FullyEncoded)});
    QSignalSpy handingFailed(&handing, &ExternalBrowser::launchFailed);
    ASSERT_TRUE(handing.open(address));
    EXPECT_FALSE(handingFailed.wait(1000)) << "the address reached the launcher unchanged and it ended well";
}

} // namespace
