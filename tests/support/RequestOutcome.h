#pragma once

#include "Services/SupabaseHTTPClient.h"
#include "Utilities/Result.h"

#include <optional>

// What a backend request completed with, for tests that drive the client.
class RequestOutcome {
public:
    Completion<QByteArray> completion();
    // Runs the event loop until the request completed; false when it did not in time.
    bool wait(int milliseconds = 10000);

    bool ended() const { return m_result.has_value(); }
    int calls() const { return m_calls; }
    const Result<QByteArray>& result() const { return *m_result; }
    template <class E> std::optional<E> error() const { return m_result ? m_result->errorAs<E>() : std::nullopt; }

private:
    std::optional<Result<QByteArray>> m_result;
    int m_calls = 0;
};

// Sends one POST and waits for its outcome (a CancellationError when it never completed).
Result<QByteArray> awaitRequest(const SupabaseHTTPClient& client, const QString& path,
    const std::optional<QJsonValue>& body, const std::optional<QString>& accessToken = std::nullopt,
    const SupabaseHTTPClient::Headers& extraHeaders = {});
