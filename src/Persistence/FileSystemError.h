#pragma once

#include "Utilities/VelmoraError.h"

#include <QString>

// A failure of the operating system on one file or folder. The description names the file
// and gives the system's own reason, because that is all a user can act on.
class FileSystemError : public VelmoraError {
public:
    enum class Operation { read, write, createFolder, remove, setPermissions };

    // The code of a path that names something other than a regular file (a FIFO, a device).
    static constexpr int notRegularFile = -1;

    FileSystemError(Operation operation, QString path, int code);

    Operation operation() const { return m_operation; }
    const QString& path() const { return m_path; }
    // The errno value of the failing call, or notRegularFile.
    int code() const { return m_code; }

    QString errorDescription() const override;

private:
    Operation m_operation;
    QString m_path;
    int m_code;
};
