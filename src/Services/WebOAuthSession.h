#pragma once

#include "Utilities/Result.h"
#include "Utilities/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class ExternalBrowser;

// The browser step of sign-in: open the authorize address in the user's browser and wait for
// the provider to send the browser back to this program's callback address. One run at a time;
// a run ends exactly once, by the callback, by cancel() (the user's Cancel, or sign-out), or
// after `timeout` seconds, and whatever arrives after its end is ignored. A browser never says
// that its tab was closed, so a run the user abandoned ends by Cancel or the time-out; a
// browser that the launcher reports failed or killed ends it at once.
class WebOAuthSession : public QObject {
    Q_OBJECT
public:
    static constexpr double timeout = 180;

    explicit WebOAuthSession(ExternalBrowser& browser, QObject* parent = nullptr);
    ~WebOAuthSession() override;

    // Completes with the callback URL exactly as the browser handed it over (checking it is the
    // caller's work), or fails with AuthError::cancelled or ::browserUnavailable. While a run
    // waits, another is refused with AuthError::busy and the waiting one goes on. The
    // completion never runs before this returns.
    void signIn(const QUrl& url, Completion<QString> done);

    // Ends the waiting run with `result`; does nothing when no run waits.
    void finish(Result<QString> result);
    // Ends the waiting run with "Sign-in cancelled.".
    void cancel();

    bool isWaiting() const { return static_cast<bool>(m_done); }

Q_SIGNALS:
    // A run began or ended: the place to show or hide a Cancel button.
    void waitingChanged(bool waiting);

private:
    void failLater(Completion<QString> done, const ErrorValue& error);

    QPointer<ExternalBrowser> m_browser;
    Completion<QString> m_done;
    ScheduledTask m_timeout;
};
