#include "Services/SecureSession.h"

#include <QCoreApplication>
#include <QNetworkCookie>
#include <QNetworkCookieJar>

namespace {

// Cookies set by a reply are dropped and none are ever offered.
class NoCookieJar final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
    bool insertCookie(const QNetworkCookie&) override { return false; }
};

} // namespace

SecureSession::SecureSession(QObject* parent)
    : QNetworkAccessManager(parent)
{
    setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    setCookieJar(new NoCookieJar(this));
    setCache(nullptr);
}

SecureSession& SecureSession::shared()
{
    // Parented to the application, so it goes before the network's own statics do.
    static SecureSession* session = new SecureSession(QCoreApplication::instance());
    return *session;
}

QNetworkReply* SecureSession::send(const QNetworkRequest& request, const QByteArray& method, const QByteArray& body)
{
    QNetworkRequest secured = request;
    secured.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    secured.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    secured.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    secured.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    secured.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    return sendCustomRequest(secured, method, body);
}
