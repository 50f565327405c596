#pragma once

#include "Services/SupabaseHTTPClient.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkReply;

// Fetches the signed-in user's profile picture. The address comes from the sign-in
// provider's profile data, so it is treated as untrusted: only an https address with a host
// is fetched (never a local file or cleartext http), through the cookie-less, cache-less
// session that refuses redirects and never ignores a TLS error; at most `maximumBytes` are
// read, and only a raster image of a bounded size is decoded.
class ProfilePictureLoader : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 maximumBytes = 2 * 1024 * 1024;
    // Longest side accepted in the file, and longest side kept after decoding, in pixels.
    static constexpr int maximumSide = 4096;
    static constexpr int keptSide = 256;
    // Memory a single decode may use, in megabytes.
    static constexpr int allocationLimit = 64;

    // Without a transport, requests go through SecureSession::shared().
    explicit ProfilePictureLoader(SupabaseHTTPClient::Transport transport = {}, QObject* parent = nullptr);
    ~ProfilePictureLoader() override;

    // The address `text` names when it may be fetched; an empty URL otherwise.
    static QUrl acceptedAddress(const QString& text);
    // The picture in `bytes`, or a null image for anything that is not a PNG, JPEG, GIF or
    // WebP within the limits.
    static QImage decode(const QByteArray& bytes);

    // Fetches `address` and completes on the main thread with the picture, or with a null
    // image when it may not be fetched or could not be; never before this returns. A later
    // call, or the loader's end, calls the earlier fetch off without completing it.
    void load(const QString& address, std::function<void(const QImage&)> done);

private:
    void finish(QNetworkReply* reply);

    SupabaseHTTPClient::Transport m_transport;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_bytes;
    std::function<void(const QImage&)> m_done;
    quint64 m_loads = 0;
};
