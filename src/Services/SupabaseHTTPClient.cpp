#include "Services/SupabaseHTTPClient.h"

#include "Models/VelmoraJSON.h"
#include "Services/NetworkError.h"
#include "Services/SecureSession.h"
#include "Services/SupabaseError.h"
#include "Utilities/CancellationError.h"
#include "Utilities/Scheduler.h"

#include <QNetworkReply>
#include <QUrl>

using SupabaseClient::SupabaseError;

namespace {

// The errors Qt derives from an HTTP status; the status decides those. Every other error means
// the exchange itself broke (connection, TLS, a reply cut short, a time-out).
bool derivedFromStatus(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError: return true;
    default: return false;
    }
}

Result<QByteArray> outcomeOf(QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!derivedFromStatus(reply.error()))
        return Result<QByteArray>::failure(NetworkError(reply.error(), reply.errorString()));
    if (!status.isValid())
        return Result<QByteArray>::failure(SupabaseError::invalidResponse());
    const int code = status.toInt();
    if (code < 200 || code > 299)
        return Result<QByteArray>::failure(SupabaseError::status(code));
    return reply.readAll();
}

// One request from start to completion. It completes exactly once, from the event loop, and
// then deletes itself along with its reply.
class RequestCall final : public QObject {
public:
    explicit RequestCall(Completion<QByteArray> done)
        : m_done(std::move(done))
    {
    }

    void start(QNetworkReply* reply)
    {
        if (!reply) {
            end(Result<QByteArray>::failure(
                NetworkError(QNetworkReply::UnknownNetworkError, QStringLiteral("The request could not be sent."))));
            return;
        }
        m_reply = reply;
        reply->setParent(this);
        connect(reply, &QNetworkReply::finished, this, [this] { end(outcomeOf(*m_reply)); });
        connect(reply, &QNetworkReply::metaDataChanged, this, &RequestCall::progressed);
        connect(reply, &QNetworkReply::downloadProgress, this, &RequestCall::progressed);
        connect(reply, &QNetworkReply::uploadProgress, this, &RequestCall::progressed);
        progressed();
        m_total = Scheduler::current().after(SupabaseHTTPClient::transferTimeout, this, [this] { timeOut(); });
    }

    // Ends the call with `result` unless it already ended.
    void end(Result<QByteArray> result)
    {
        if (m_result)
            return;
        m_result = std::move(result);
        stop();
    }

    void cancel()
    {
        if (m_handedOver)
            return;
        m_result = Result<QByteArray>::failure(CancellationError());
        stop();
    }

private:
    void progressed()
    {
        m_idle.cancel();
        m_idle = Scheduler::current().after(SupabaseHTTPClient::requestTimeout, this, [this] { timeOut(); });
    }

    void timeOut() { end(Result<QByteArray>::failure(NetworkError::timedOut())); }

    void stop()
    {
        m_idle.cancel();
        m_total.cancel();
        if (m_reply) {
            m_reply->disconnect(this);
            m_reply->abort();
        }
        if (m_queued)
            return;
        m_queued = true;
        QMetaObject::invokeMethod(
            this, [this] { handOver(); }, Qt::QueuedConnection);
    }

    void handOver()
    {
        m_handedOver = true;
        Completion<QByteArray> done = std::move(m_done);
        const Result<QByteArray> result = *m_result;
        deleteLater();
        done(result);
    }

    Completion<QByteArray> m_done;
    QPointer<QNetworkReply> m_reply;
    ScheduledTask m_idle;
    ScheduledTask m_total;
    std::optional<Result<QByteArray>> m_result;
    bool m_queued = false;
    bool m_handedOver = false;
};

} // namespace

void PendingRequest::cancel()
{
    if (auto* call = static_cast<RequestCall*>(m_call.data()))
        call->cancel();
}

SupabaseHTTPClient::SupabaseHTTPClient(std::optional<BackendConfiguration> configuration, Transport transport)
    : m_configuration(std::move(configuration))
    , m_transport(std::move(transport))
{
    if (!m_transport) {
        m_transport = [](const QNetworkRequest& request, const QByteArray& method, const QByteArray& body) {
            return SecureSession::shared().send(request, method, body);
        };
    }
}

QNetworkRequest SupabaseHTTPClient::prepare(
    const QString& path, const std::optional<QString>& accessToken, const Headers& extraHeaders) const
{
    if (!m_configuration || !m_configuration->isValid())
        throw BackendConfiguration::AccessError(BackendConfiguration::AccessError::notConfigured);
    if (!m_configuration->cloudEnabled)
        throw BackendConfiguration::AccessError(BackendConfiguration::AccessError::disabled);

    // "//host" would name another server, and a fragment would cut the path short.
    if (!path.startsWith(u'/') || path.startsWith(QLatin1String("//")) || path.contains(u'#'))
        throw SupabaseError::invalidURL();
    const QUrl url(m_configuration->trimmedProjectURL() + path, QUrl::StrictMode);
    if (!url.isValid() || url.host() != QUrl(m_configuration->projectURL).host())
        throw SupabaseError::invalidURL();

    QNetworkRequest request(url);
    // Setting a field replaces any earlier one of the same name (in any letter case), so the
    // fields set last cannot be overridden by the extra ones.
    for (const auto& [name, value] : extraHeaders)
        request.setRawHeader(name.toUtf8(), value.toUtf8());
    request.setRawHeader("apikey", m_configuration->publishableKey.toUtf8());
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Authorization", accessToken ? ("Bearer " + *accessToken).toUtf8() : QByteArray());
    return request;
}

PendingRequest SupabaseHTTPClient::request(const QString& path, const QString& method,
    const std::optional<QJsonValue>& body, const std::optional<QString>& accessToken, const Headers& extraHeaders,
    Completion<QByteArray> done) const
{
    auto* call = new RequestCall(std::move(done));
    try {
        const QNetworkRequest request = prepare(path, accessToken, extraHeaders);
        const QByteArray bytes = body ? VelmoraJSON::encode(*body) : QByteArray();
        call->start(m_transport(request, method.toUtf8(), bytes));
    } catch (...) {
        call->end(ErrorValue::current());
    }
    return PendingRequest(call);
}
