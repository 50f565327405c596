#include "SyncedComputer.h"

#include <QDir>

QStringList SyncedComputer::recoveryCopies() const
{
    return QDir(dir.path()).entryList({QStringLiteral("sync-recovery-*.json")}, QDir::Files);
}
