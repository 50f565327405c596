#pragma once

#include "Services/SupabaseHTTPClient.h"
#include "Services/SyncRemote.h"

#include <functional>

// Library sync over the backend's two remote procedures. Nothing is sent unless the
// configuration allows library sync, nothing invalid or with duplicate triggers is written,
// and a reply is accepted only when this system's records keep all of it: a reply with
// members they would drop is refused as unsupported rather than half understood.
class SupabaseSyncRemote final : public SyncRemote {
public:
    // Run first in both calls; throws when sync is not allowed.
    using AccessCheck = std::function<void()>;

    // Without an access check, the configuration of this process must allow library sync.
    explicit SupabaseSyncRemote(SupabaseHTTPClient client, AccessCheck accessCheck = {});

    void read(const AuthCredentials& credentials, const Cancellation& cancellation,
        Completion<CloudSyncSnapshot> done) override;
    void compareAndSwap(const SyncSnapshot& next, const QString& revision, const AuthCredentials& credentials,
        const Cancellation& cancellation, Completion<CloudSyncSnapshot> done) override;

    // The reply decoded, when re-encoding it keeps every non-null member and every array's
    // length; throws the decoder's error or SyncFailure::invalidResponse.
    static CloudSyncSnapshot decodeSnapshot(const QByteArray& reply);

private:
    void send(const QString& path, const QJsonObject& body, const AuthCredentials& credentials,
        const Cancellation& cancellation, bool isWrite, Completion<CloudSyncSnapshot> done) const;

    SupabaseHTTPClient m_client;
    AccessCheck m_accessCheck;
};
