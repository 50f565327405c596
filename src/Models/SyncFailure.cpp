#include "Models/SyncFailure.h"

#include <QHashFunctions>

QString SyncFailure::errorDescription() const
{
    switch (m_kind) {
    case Kind::storageUnavailable:
        return QStringLiteral("Sync could not save safely. Check the local recovery screen; no success was recorded.");
    case Kind::localChanged:
        return QStringLiteral("Your local library changed during sync. Review the latest versions and try again.");
    case Kind::cloudChanged:
        return QStringLiteral("The cloud changed during sync. Nothing was overwritten; refresh and review again.");
    case Kind::accountChanged: return QStringLiteral("The signed-in account changed. Sync was stopped.");
    case Kind::busy: return QStringLiteral("A sync is already running.");
    case Kind::invalidResponse:
        return QStringLiteral("The cloud returned an unsupported or incomplete snapshot. Sync stopped.");
    case Kind::reviewRequired: return QStringLiteral("Review both versions before enabling sync for this account.");
    case Kind::interrupted:
        return QStringLiteral(
            "A local sync was interrupted. Restore the pre-sync files to continue; both versions are preserved.");
    case Kind::duplicateTriggers:
        return QStringLiteral(
            "Some shortcuts share a trigger. Give them unique triggers before uploading this library, or review "
            "and choose the cloud version. Your local shortcuts are unchanged.");
    }
    return {};
}

size_t qHash(const SyncFailure& failure, size_t seed)
{
    return qHash(static_cast<int>(failure.kind()), seed);
}
