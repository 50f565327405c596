#include "Services/WebOAuthSession.h"

#include "Models/AuthError.h"
#include "platform/ExternalBrowser.h"

WebOAuthSession::WebOAuthSession(ExternalBrowser& browser, QObject* parent)
    : QObject(parent)
    , m_browser(&browser)
{
    connect(&browser, &ExternalBrowser::urlReceived, this, [this](const QString& url) { finish(url); });
    // Waiting out the time-out for a browser known to be gone would only leave the user
    // looking at "Connecting…".
    connect(&browser, &ExternalBrowser::launchFailed, this,
        [this] { finish(Result<QString>::failure(AuthError(AuthError::browserClosed))); });
}

WebOAuthSession::~WebOAuthSession()
{
    m_timeout.cancel();
}

void WebOAuthSession::signIn(const QUrl& url, Completion<QString> done)
{
    if (m_done) {
        failLater(std::move(done), AuthError(AuthError::busy));
        return;
    }
    if (!m_browser || !m_browser->open(url)) {
        failLater(std::move(done), AuthError(AuthError::browserUnavailable));
        return;
    }
    m_done = std::move(done);
    m_timeout = Scheduler::current().after(timeout, this, [this] { cancel(); });
    Q_EMIT waitingChanged(true);
}

void WebOAuthSession::finish(Result<QString> result)
{
    if (!m_done)
        return;
    // The run is over before its caller hears of it, so the caller may start the next one.
    Completion<QString> done = std::move(m_done);
    m_done = nullptr;
    m_timeout.cancel();
    Q_EMIT waitingChanged(false);
    done(std::move(result));
}

void WebOAuthSession::cancel()
{
    finish(Result<QString>::failure(AuthError(AuthError::cancelled)));
}

void WebOAuthSession::failLater(Completion<QString> done, const ErrorValue& error)
{
    QMetaObject::invokeMethod(
        this, [done = std::move(done), error] { done(error); }, Qt::QueuedConnection);
}
