#include "Persistence/FileSystemError.h"

#include <QFileInfo>
#include <cstring>

FileSystemError::FileSystemError(Operation operation, QString path, int code)
    : m_operation(operation)
    , m_path(std::move(path))
    , m_code(code)
{
}

QString FileSystemError::errorDescription() const
{
    const QString name = QFileInfo(m_path).fileName();
    QString action;
    switch (m_operation) {
    case Operation::read: action = QStringLiteral("The file “%1” could not be read"); break;
    case Operation::write: action = QStringLiteral("The file “%1” could not be saved"); break;
    case Operation::createFolder: action = QStringLiteral("The folder “%1” could not be created"); break;
    case Operation::remove: action = QStringLiteral("The file “%1” could not be removed"); break;
    case Operation::setPermissions: action = QStringLiteral("The permissions of “%1” could not be changed"); break;
    }
    const QString reason = m_code == notRegularFile ? QStringLiteral("it is not a regular file")
                                                    : QString::fromLocal8Bit(std::strerror(m_code));
    return action.arg(name) + QStringLiteral(": ") + reason + u'.';
}
