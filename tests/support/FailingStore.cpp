#include "FailingStore.h"

#include "Persistence/FileSystemError.h"

#include <cerrno>

std::unique_ptr<LocalStore> storeWithFailingWrites(const QString& folder, const bool* fail)
{
    return std::make_unique<LocalStore>(
        folder, [fail](const QByteArray& bytes, const QString& path, FileIO::Access access) {
            if (*fail)
                throw FileSystemError(FileSystemError::Operation::write, path, ENOSPC);
            FileIO::writeAtomically(bytes, path, access);
        });
}
