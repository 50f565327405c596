#pragma once

#include "Utilities/VelmoraError.h"

#include <QNetworkReply>

// A request that the network did not carry through: no connection, a refused or failed TLS
// handshake, a dropped connection, or a time-out. The message is the transport's own.
class NetworkError final : public VelmoraError {
public:
    NetworkError(QNetworkReply::NetworkError code, QString message)
        : m_code(code)
        , m_message(std::move(message))
    {
    }

    static NetworkError timedOut()
    {
        return NetworkError(QNetworkReply::TimeoutError, QStringLiteral("The request timed out."));
    }

    QNetworkReply::NetworkError code() const { return m_code; }
    bool isTimeout() const { return m_code == QNetworkReply::TimeoutError; }
    QString errorDescription() const override { return m_message; }

private:
    QNetworkReply::NetworkError m_code;
    QString m_message;
};
