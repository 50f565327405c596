#include "Services/SupabaseSyncRemote.h"

#include "Models/SyncFailure.h"
#include "Services/SupabaseError.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QThreadPool>

namespace {

// The reply side leads: every non-null member it has must exist in the model, and arrays must
// keep their length. Values are never compared, so number and date forms cannot fail it.
bool keepsEverything(const QJsonValue& reply, const QJsonValue& model)
{
    if (reply.isObject()) {
        if (!model.isObject())
            return false;
        const QJsonObject replyObject = reply.toObject();
        const QJsonObject modelObject = model.toObject();
        for (auto member = replyObject.begin(); member != replyObject.end(); ++member) {
            if (member.value().isNull())
                continue;
            const auto counterpart = modelObject.find(member.key());
            if (counterpart == modelObject.end() || !keepsEverything(member.value(), counterpart.value()))
                return false;
        }
        return true;
    }
    if (reply.isArray()) {
        if (!model.isArray())
            return false;
        const QJsonArray replyArray = reply.toArray();
        const QJsonArray modelArray = model.toArray();
        if (replyArray.size() != modelArray.size())
            return false;
        for (qsizetype i = 0; i < replyArray.size(); ++i) {
            if (!keepsEverything(replyArray.at(i), modelArray.at(i)))
                return false;
        }
        return true;
    }
    return true;
}

} // namespace

SupabaseSyncRemote::SupabaseSyncRemote(SupabaseHTTPClient client, AccessCheck accessCheck)
    : m_client(std::move(client))
    , m_accessCheck(std::move(accessCheck))
{
    if (!m_accessCheck)
        m_accessCheck = [] { BackendConfiguration::requireLibrarySync(BackendConfiguration::current()); };
}

CloudSyncSnapshot SupabaseSyncRemote::decodeSnapshot(const QByteArray& reply)
{
    CloudSyncSnapshot decoded = VelmoraJSON::decode<CloudSyncSnapshot>(reply);
    const QJsonValue replyTree = VelmoraJSON::parse(reply);
    const QJsonValue modelTree = VelmoraJSON::parse(VelmoraJSON::encode(decoded));
    if (!keepsEverything(replyTree, modelTree))
        throw SyncFailure(SyncFailure::Kind::invalidResponse);
    return decoded;
}

void SupabaseSyncRemote::read(
    const AuthCredentials& credentials, const Cancellation& cancellation, Completion<CloudSyncSnapshot> done)
{
    try {
        m_accessCheck();
    } catch (...) {
        done(Result<CloudSyncSnapshot>(ErrorValue::current()));
        return;
    }
    send(QStringLiteral("/rest/v1/rpc/velmora_read_sync"), QJsonObject(), credentials, cancellation, false,
        std::move(done));
}

void SupabaseSyncRemote::compareAndSwap(const SyncSnapshot& next, const QString& revision,
    const AuthCredentials& credentials, const Cancellation& cancellation, Completion<CloudSyncSnapshot> done)
{
    QJsonObject body;
    try {
        m_accessCheck();
        next.validate();
        if (!next.data.duplicateTriggers().isEmpty())
            throw SyncFailure(SyncFailure::Kind::duplicateTriggers);
        body.insert(QStringLiteral("expected_revision"), revision);
        body.insert(QStringLiteral("next_snapshot"), next.toJson());
    } catch (...) {
        done(Result<CloudSyncSnapshot>(ErrorValue::current()));
        return;
    }
    send(QStringLiteral("/rest/v1/rpc/velmora_write_sync"), body, credentials, cancellation, true, std::move(done));
}

// The reply is checked on a worker thread, so a large library never stalls the interface;
// the result is handed back on the main thread, and dropped there when the pass was called off.
void SupabaseSyncRemote::send(const QString& path, const QJsonObject& body, const AuthCredentials& credentials,
    const Cancellation& cancellation, bool isWrite, Completion<CloudSyncSnapshot> done) const
{
    auto deliver = [cancellation, done = std::move(done)](Result<CloudSyncSnapshot> result) {
        if (cancellation.isCancelled())
            done(Result<CloudSyncSnapshot>::failure(CancellationError()));
        else
            done(std::move(result));
    };
    PendingRequest request = m_client.request(path, QStringLiteral("POST"), body, credentials.accessToken, {},
        [isWrite, deliver = std::move(deliver)](const Result<QByteArray>& reply) mutable {
            if (!reply.succeeded()) {
                const auto error = reply.errorAs<SupabaseClient::SupabaseError>();
                if (isWrite && error && error->statusCode() == 409)
                    deliver(Result<CloudSyncSnapshot>::failure(SyncFailure(SyncFailure::Kind::cloudChanged)));
                else
                    deliver(Result<CloudSyncSnapshot>(reply.error()));
                return;
            }
            // Only moved into the worker and out again: what the completion holds is never
            // copied or released off the main thread.
            QThreadPool::globalInstance()->start([bytes = reply.value(), deliver = std::move(deliver)]() mutable {
                Result<CloudSyncSnapshot> result = [&]() -> Result<CloudSyncSnapshot> {
                    try {
                        return decodeSnapshot(bytes);
                    } catch (...) {
                        return Result<CloudSyncSnapshot>(ErrorValue::current());
                    }
                }();
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [deliver = std::move(deliver), result = std::move(result)] { deliver(result); },
                    Qt::QueuedConnection);
            });
        });
    cancellation.onCancel([request]() mutable { request.cancel(); });
}
