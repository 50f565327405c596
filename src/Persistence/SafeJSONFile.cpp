#include "Persistence/SafeJSONFile.h"

#include <xxhash.h>

FileFingerprint FileFingerprint::of(const QByteArray& bytes)
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits(bytes.constData(), size_t(bytes.size())));
    return {bytes.size(), QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest)};
}

QString SafeJSONFileFailure::errorDescription() const
{
    switch (m_reason) {
    case notLoaded: return QStringLiteral("Read this file successfully before saving changes.");
    case changedOnDisk: return QStringLiteral("This file changed outside Velmora. Retry to load its latest contents.");
    case missingWithBackup:
        return QStringLiteral("The original file is missing, but a backup exists. Restore it before continuing.");
    case noBackup: return QStringLiteral("No backup is available for this file.");
    }
    return {};
}
