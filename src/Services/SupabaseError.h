#pragma once

#include "Utilities/VelmoraError.h"

#include <optional>

namespace SupabaseClient {

// A backend request that failed on this side of the transport (a refused address, a reply
// that is not HTTP) or was answered with a status outside 200 to 299. The message is the
// sentence shown to the user.
class SupabaseError final : public VelmoraError {
public:
    SupabaseError(QString message, std::optional<int> statusCode = std::nullopt)
        : m_message(std::move(message))
        , m_statusCode(statusCode)
    {
    }

    static SupabaseError invalidURL() { return SupabaseError(QStringLiteral("Invalid backend URL")); }
    static SupabaseError invalidResponse() { return SupabaseError(QStringLiteral("Invalid server response")); }
    static SupabaseError status(int code)
    {
        return SupabaseError(QStringLiteral("Cloud request failed (HTTP %1). Please retry.").arg(code), code);
    }

    const QString& message() const { return m_message; }
    // The reply's status; nothing for the failures that had no reply.
    std::optional<int> statusCode() const { return m_statusCode; }
    QString errorDescription() const override { return m_message; }

private:
    QString m_message;
    std::optional<int> m_statusCode;
};

} // namespace SupabaseClient
