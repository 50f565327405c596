#include "BackendSignIn.h"

#include "Models/AuthError.h"

#include <QNetworkReply>
#include <QTest>

namespace BackendSignIn {

AuthService::Authenticate fetchRedirect(TestBackend& backend)
{
    return [transport = backend.transport()](const QUrl& url, Completion<QString> done) {
        QNetworkReply* reply = transport(QNetworkRequest(url), "GET", QByteArray());
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done] {
            reply->deleteLater();
            const QString location = QString::fromUtf8(reply->rawHeader("Location"));
            if (location.isEmpty())
                done(Result<QString>::failure(AuthError(AuthError::cancelled)));
            else
                done(location);
        });
    };
}

bool waitUntil(ManualScheduler& scheduler, const std::function<bool()>& done)
{
    return QTest::qWaitFor(
        [&] {
            scheduler.runDue();
            return done();
        },
        10000);
}

std::optional<Result<AuthUser>> wait(AuthService& auth, ManualScheduler& scheduler)
{
    std::optional<Result<AuthUser>> result;
    auth.signInWithGoogle([&](Result<AuthUser> r) { result = std::move(r); });
    waitUntil(scheduler, [&] { return result.has_value(); });
    return result;
}

} // namespace BackendSignIn
