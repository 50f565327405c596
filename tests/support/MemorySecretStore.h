#pragma once

#include "platform/SecretStore.h"

#include <QMap>
#include <QPair>

// A secret store in memory, one item per {service, account} pair. Tests steer its failures:
// `failWith(status)` makes every later call answer that status, and `withholdData` makes a
// lookup of an existing item succeed without giving its data.
class MemorySecretStore final : public SecretStore {
public:
    Lookup lookup(const QString& service, const QString& account) override;
    Status store(const QString& service, const QString& account, const QByteArray& secret) override;
    Status clear(const QString& service, const QString& account) override;

    void failWith(Status status) { m_failure = status; }

    QMap<QPair<QString, QString>, QByteArray> items;
    bool withholdData = false;

private:
    std::optional<Status> m_failure;
};
