#include "Services/ProfilePictureLoader.h"

#include "Services/SecureSession.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// Formats whose decoders read only the bytes given: no vector formats, which can refer to
// other files.
bool isRasterFormat(const QByteArray& format)
{
    static const QList<QByteArray> allowed{"png", "jpeg", "jpg", "gif", "webp"};
    return allowed.contains(format.toLower());
}

} // namespace

ProfilePictureLoader::ProfilePictureLoader(SupabaseHTTPClient::Transport transport, QObject* parent)
    : QObject(parent)
    , m_transport(std::move(transport))
{
    if (!m_transport) {
        m_transport = [](const QNetworkRequest& request, const QByteArray& method, const QByteArray& body) {
            return SecureSession::shared().send(request, method, body);
        };
    }
}

ProfilePictureLoader::~ProfilePictureLoader()
{
    // Aborting finishes the reply at once; its owner is being destroyed, so nobody may hear of it.
    m_done = nullptr;
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QUrl ProfilePictureLoader::acceptedAddress(const QString& text)
{
    QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}

QImage ProfilePictureLoader::decode(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > maximumBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(allocationLimit);
    const QSize size = reader.size();
    if (!isRasterFormat(reader.format()) || !size.isValid() || size.isEmpty() || size.width() > maximumSide
        || size.height() > maximumSide)
        return {};
    if (std::max(size.width(), size.height()) > keptSide)
        reader.setScaledSize(size.scaled(keptSide, keptSide, Qt::KeepAspectRatio));
    return reader.read();
}

void ProfilePictureLoader::load(const QString& address, std::function<void(const QImage&)> done)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_bytes.clear();
    m_done = std::move(done);
    const quint64 number = ++m_loads;
    const QUrl url = acceptedAddress(address);
    if (url.isEmpty()) {
        // A later load before this refusal is delivered owns the completion and the reply.
        QMetaObject::invokeMethod(
            this,
            [this, number] {
                if (number == m_loads)
                    finish(nullptr);
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(int(SupabaseHTTPClient::transferTimeout * 1000));
    QNetworkReply* reply = m_transport(request, "GET", {});
    m_reply = reply;
    // The declared length and every chunk are checked as they come, so an oversized reply is
    // never held in memory.
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maximumBytes)
            reply->abort();
    });
    connect(reply, &QIODevice::readyRead, this, [this, reply] {
        if (m_bytes.size() + reply->bytesAvailable() > maximumBytes) {
            m_bytes.clear();
            reply->abort();
            return;
        }
        m_bytes += reply->readAll();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void ProfilePictureLoader::finish(QNetworkReply* reply)
{
    QImage image;
    if (reply) {
        reply->deleteLater();
        if (reply != m_reply)
            return;
        const bool ok = reply->error() == QNetworkReply::NoError
            && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
        if (ok && m_bytes.size() + reply->bytesAvailable() <= maximumBytes)
            image = decode(m_bytes + reply->readAll());
    }
    m_reply.clear();
    m_bytes.clear();
    if (auto done = std::exchange(m_done, nullptr))
        done(image);
}
