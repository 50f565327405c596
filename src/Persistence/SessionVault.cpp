#include "Persistence/SessionVault.h"

#include "Models/AuthError.h"
#include "Models/VelmoraJSON.h"
#include "Utilities/SerialWorker.h"

#include <QCoreApplication>
#include <QPointer>

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
    , m_worker(std::make_shared<SerialWorker>())
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

QByteArray SessionVault::recordFor(const AuthSession& session) const
{
    session.validate();
    return VelmoraJSON::encodeCompact(Record{recordVersion, m_projectURL, session}.toJson());
}

void SessionVault::save(const AuthSession& session) const
{
    m_storage->write(recordFor(session));
}

template <class T>
void SessionVault::runLater(std::function<T()> work, QObject* receiver, std::function<void(T)> done) const
{
    if (!m_storage->mayWaitForUser()) {
        done(work());
        return;
    }
    // The job keeps the storage alive; the answer goes back through the application object,
    // which outlives every receiver, and finds out there whether the receiver is still around.
    m_worker->post([storage = m_storage, work = std::move(work), receiver = QPointer<QObject>(receiver),
                       done = std::move(done)]() mutable {
        T outcome = work();
        QCoreApplication* application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [receiver, done = std::move(done), outcome = std::move(outcome)] {
                if (receiver)
                    done(outcome);
            },
            Qt::QueuedConnection);
    });
}

void SessionVault::loadLater(QObject* receiver, std::function<void(Result<std::optional<AuthSession>>)> done) const
{
    using Outcome = Result<std::optional<AuthSession>>;
    runLater<Outcome>(
        [vault = *this]() -> Outcome {
            try {
                return vault.load();
            } catch (...) {
                return ErrorValue::current();
            }
        },
        receiver, std::move(done));
}

void SessionVault::saveLater(const AuthSession& session, QObject* receiver, std::function<void(Failure)> done) const
{
    // A session that fails validation is refused here, before it waits behind anything.
    QByteArray record;
    try {
        record = recordFor(session);
    } catch (...) {
        done(ErrorValue::current());
        return;
    }
    runLater<Failure>(
        [storage = m_storage, record]() -> Failure {
            try {
                storage->write(record);
                return std::nullopt;
            } catch (...) {
                return ErrorValue::current();
            }
        },
        receiver, std::move(done));
}

void SessionVault::removeLater(QObject* receiver, std::function<void(Failure)> done) const
{
    runLater<Failure>(
        [storage = m_storage]() -> Failure {
            try {
                storage->remove();
                return std::nullopt;
            } catch (...) {
                return ErrorValue::current();
            }
        },
        receiver, std::move(done));
}
