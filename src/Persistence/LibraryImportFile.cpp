#include "Persistence/LibraryImportFile.h"

#include "Models/VelmoraJSON.h"

#include <QFile>
#include <QUtf8StringView>

namespace LibraryImportFile {

QString Failure::errorDescription() const
{
    switch (m_kind) {
    case Kind::unreadable: return QStringLiteral("The file couldn't be opened (%1).").arg(m_reason);
    case Kind::tooLarge: return QStringLiteral("The file is too large to be a Velmora library.");
    case Kind::notText: return QStringLiteral("The file isn't UTF-8 text.");
    }
    return {};
}

UserData read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(Failure::Kind::unreadable, file.errorString());
    // The size is checked on what was read, not on what the file claims: a device or a
    // file that grows reports less than it gives.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        throw Failure(Failure::Kind::tooLarge);
    if (file.error() != QFileDevice::NoError)
        throw Failure(Failure::Kind::unreadable, file.errorString());
    if (!QUtf8StringView(bytes).isValidUtf8())
        throw Failure(Failure::Kind::notText);
    return VelmoraJSON::decode<UserData>(bytes);
}

} // namespace LibraryImportFile
