#include "Persistence/SessionVault.h"

#include "Models/VelmoraJSON.h"
#include "Models/AuthError.h"

namespace {
constexpr qint64 recordVersion = 1;

// The stored record: {"version", "projectURL", "session"}, all required.
struct Record {
    qint64 version = recordVersion;
    QString projectURL;
    AuthSession session;

    static Record fromJson(const JsonReader& r)
    {
        Record record;
        record.version = r.required<qint64>(QStringLiteral("version"));
        record.projectURL = r.required<QString>(QStringLiteral("projectURL"));
        record.session = r.required<AuthSession>(QStringLiteral("session"));
        return record;
    }

    QJsonValue toJson() const
    {
        QJsonObject o;
        o.insert(QStringLiteral("version"), version);
        o.insert(QStringLiteral("projectURL"), projectURL);
        o.insert(QStringLiteral("session"), session.toJson());
        return o;
    }
};
} // namespace

SessionVault::SessionVault(QString projectURL, std::unique_ptr<CredentialStorage> storage)
    : m_projectURL(std::move(projectURL))
    , m_storage(std::move(storage))
{
}

std::optional<AuthSession> SessionVault::load() const
{
    const std::optional<QByteArray> bytes = m_storage->read();
    if (!bytes)
        return std::nullopt;
    const Record record = VelmoraJSON::decode<Record>(*bytes);
    // Compared as plain text on purpose: a record written for "https://x.example/" does not
    // belong to a vault configured with "https://x.example".
    if (record.version != recordVersion || record.projectURL != m_projectURL)
        throw AuthError(AuthError::invalidStoredSession);
    record.session.validate();
    return record.session;
}

void SessionVault::save(const AuthSession& session) const
{
    session.validate();
    m_storage->write(VelmoraJSON::encodeCompact(Record{recordVersion, m_projectURL, session}.toJson()));
}
