#pragma once

#include "Utilities/BackendConfiguration.h"
#include "Utilities/Result.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QNetworkRequest>
#include <QPointer>
#include <functional>
#include <optional>
#include <utility>

class QNetworkReply;

// A backend request on its way. Cancelling it drops any reply and ends it with
// CancellationError; once its completion has run, cancelling does nothing.
class PendingRequest {
public:
    PendingRequest() = default;
    explicit PendingRequest(QObject* call)
        : m_call(call)
    {
    }
    void cancel();
    bool isPending() const { return !m_call.isNull(); }

private:
    QPointer<QObject> m_call;
};

// The one way to send a JSON request to the backend project: exactly one HTTPS request to the
// configured project, never anywhere else, with the project's key, and a single error type
// (SupabaseClient::SupabaseError) for every reply outside 200 to 299. Copies share the
// transport.
class SupabaseHTTPClient {
public:
    // A request is given up after this many seconds without progress, and after
    // transferTimeout seconds in all.
    static constexpr double requestTimeout = 30;
    static constexpr double transferTimeout = 60;

    // Sends one request and returns its reply (owned by the caller from then on).
    using Transport = std::function<QNetworkReply*(
        const QNetworkRequest& request, const QByteArray& method, const QByteArray& body)>;
    using Headers = QList<std::pair<QString, QString>>;

    // Without a transport, requests go through SecureSession::shared().
    explicit SupabaseHTTPClient(std::optional<BackendConfiguration> configuration, Transport transport = {});

    const std::optional<BackendConfiguration>& configuration() const { return m_configuration; }

    // POSTs (or sends `method`) `body` as JSON to `path` on the project ("/..." with an optional
    // query) and completes with the reply's body, on the main thread and never before this
    // returns. Failures: BackendConfiguration::AccessError when the configuration is missing,
    // invalid or has the cloud off; SupabaseError "Invalid backend URL" for a path that could
    // leave the project (nothing is sent); the JSON encoder's error; NetworkError from the
    // transport (time-outs included); SupabaseError with the status for any reply outside 200
    // to 299, redirects included; CancellationError after cancel().
    // `extraHeaders` can never replace the key, the content type or the authorisation; without
    // `accessToken` no Authorization field is sent.
    PendingRequest request(const QString& path, const QString& method, const std::optional<QJsonValue>& body,
        const std::optional<QString>& accessToken, const Headers& extraHeaders, Completion<QByteArray> done) const;

private:
    // The request for `path`; throws the failure that keeps it from being sent.
    QNetworkRequest prepare(
        const QString& path, const std::optional<QString>& accessToken, const Headers& extraHeaders) const;

    std::optional<BackendConfiguration> m_configuration;
    Transport m_transport;
};
