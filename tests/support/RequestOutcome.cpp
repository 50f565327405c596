#include "RequestOutcome.h"

#include "Utilities/CancellationError.h"

#include <QTest>

Completion<QByteArray> RequestOutcome::completion()
{
    return [this](Result<QByteArray> result) {
        ++m_calls;
        m_result = std::move(result);
    };
}

bool RequestOutcome::wait(int milliseconds)
{
    return QTest::qWaitFor([&] { return m_result.has_value(); }, milliseconds);
}

Result<QByteArray> awaitRequest(const SupabaseHTTPClient& client, const QString& path,
    const std::optional<QJsonValue>& body, const std::optional<QString>& accessToken,
    const SupabaseHTTPClient::Headers& extraHeaders)
{
    RequestOutcome outcome;
    client.request(path, QStringLiteral("POST"), body, accessToken, extraHeaders, outcome.completion());
    if (!outcome.wait())
        return Result<QByteArray>::failure(CancellationError());
    return outcome.result();
}
