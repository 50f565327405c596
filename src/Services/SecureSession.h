#pragma once

#include <QNetworkAccessManager>

// The network access of every backend request: nothing is kept (no cookies, no cache) and no
// redirect is followed, so a reply can never send the request, its key or its token elsewhere.
// TLS errors always fail the request; nothing here ignores one.
class SecureSession : public QNetworkAccessManager {
    Q_OBJECT
public:
    explicit SecureSession(QObject* parent = nullptr);

    // The session of the running program, made on first use on the main thread.
    static SecureSession& shared();

    // Sends one request with the given method and body; the reply belongs to the caller.
    QNetworkReply* send(const QNetworkRequest& request, const QByteArray& method, const QByteArray& body);
};
