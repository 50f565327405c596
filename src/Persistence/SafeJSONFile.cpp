#include "Persistence/SafeJSONFile.h"

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
