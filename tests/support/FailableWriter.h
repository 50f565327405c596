#pragma once

#include "Persistence/FileIO.h"
#include "Persistence/FileSystemError.h"

#include <cerrno>

// A store writer that writes for real until `fail` turns true, then fails every write as a
// full disk would. `fail` must outlive the writer.
inline FileIO::Writer failableWriter(const bool& fail)
{
    return [&fail](const QByteArray& bytes, const QString& path, FileIO::Access access) {
        if (fail)
            throw FileSystemError(FileSystemError::Operation::write, path, ENOSPC);
        FileIO::writeAtomically(bytes, path, access);
    };
}
