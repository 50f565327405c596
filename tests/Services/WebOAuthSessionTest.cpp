#include "Services/WebOAuthSession.h"
#include "AuthSamples.h"
#include "FakeBrowser.h"
#include "ManualScheduler.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QUrl authorize(QStringLiteral("https://project.example.com/auth/v1/authorize?provider=google"));
const QString callback = QStringLiteral("velmora://auth-callback?code=abc");

// Every result a run delivered, in order.
struct Results {
    Completion<QString> completion()
    {
        return [this](Result<QString> result) { list.append(result); };
    }
    std::optional<AuthError> error(qsizetype at) const { return list.value(at, QString()).errorAs<AuthError>(); }
    QList<Result<QString>> list;
};

class BrowserSignIn : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    FakeBrowser browser;
    WebOAuthSession session{browser};
    Results results;
};

TEST_F(BrowserSignIn, OpensTheAddressAndReturnsTheCallbackAsTheBrowserHandedItOver)
{
    session.signIn(authorize, results.completion());
    EXPECT_EQ(browser.opened(), QList<QUrl>{authorize});
    EXPECT_TRUE(session.isWaiting());
    const QString refused = QStringLiteral("velmora://auth-callback?error=access_denied");
    browser.deliver(refused);
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.list.first().value(), refused);
    EXPECT_FALSE(session.isWaiting());
}

TEST_F(BrowserSignIn, ASecondSignInWhileOneWaitsIsRefusedAndTheFirstGoesOn)
{
    session.signIn(authorize, results.completion());
    Results second;
    session.signIn(authorize, second.completion());
    QCoreApplication::processEvents();
    ASSERT_EQ(second.list.size(), 1);
    EXPECT_EQ(second.error(0), AuthError::busy);
    EXPECT_EQ(browser.opened().size(), 1);
    browser.deliver(callback);
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.list.first().value(), callback);
}

TEST_F(BrowserSignIn, GivesUpAfterTheTimeOutAndIgnoresALateCallback)
{
    session.signIn(authorize, results.completion());
    scheduler.advance(WebOAuthSession::timeout);
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.error(0), AuthError::cancelled);
    browser.deliver(callback);
    EXPECT_EQ(results.list.size(), 1);
}

TEST_F(BrowserSignIn, CancelEndsTheRunOnceAndRepeatedCallbacksAreDropped)
{
    QSignalSpy waiting(&session, &WebOAuthSession::waitingChanged);
    session.signIn(authorize, results.completion());
    session.cancel();
    session.cancel();
    browser.deliver(callback);
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.error(0), AuthError::cancelled);
    EXPECT_EQ(results.error(0)->errorDescription(), QStringLiteral("Sign-in cancelled."));
    EXPECT_EQ(waiting.count(), 2);

    session.signIn(authorize, results.completion());
    browser.deliver(callback);
    browser.deliver(callback);
    EXPECT_EQ(results.list.size(), 2);
}

TEST_F(BrowserSignIn, TheTimeOutOfAnEarlierRunNeverEndsALaterOne)
{
    session.signIn(authorize, results.completion());
    scheduler.advance(WebOAuthSession::timeout / 2);
    session.cancel();
    session.signIn(authorize, results.completion());
    scheduler.advance(WebOAuthSession::timeout / 2);
    EXPECT_EQ(results.list.size(), 1);
    EXPECT_TRUE(session.isWaiting());
    scheduler.advance(WebOAuthSession::timeout / 2);
    ASSERT_EQ(results.list.size(), 2);
    EXPECT_EQ(results.error(1), AuthError::cancelled);
}

TEST_F(BrowserSignIn, ABrowserReportedGoneEndsTheRunAtOnceAndALaterRunWorks)
{
    session.signIn(authorize, results.completion());
    browser.reportLaunchFailed();
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.error(0), AuthError::browserClosed);
    EXPECT_FALSE(session.isWaiting());

    browser.reportLaunchFailed();
    EXPECT_EQ(results.list.size(), 1) << "nothing waits any more";
    session.signIn(authorize, results.completion());
    browser.deliver(callback);
    ASSERT_EQ(results.list.size(), 2);
    EXPECT_EQ(results.list.at(1).value(), callback);
}

TEST_F(BrowserSignIn, ABrowserThatCannotBeOpenedEndsTheRunAtOnce)
{
    browser.setOpens(false);
    session.signIn(authorize, results.completion());
    EXPECT_FALSE(session.isWaiting());
    QCoreApplication::processEvents();
    ASSERT_EQ(results.list.size(), 1);
    EXPECT_EQ(results.error(0), AuthError::browserUnavailable);
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

} // namespace
