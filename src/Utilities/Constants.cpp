#include "Utilities/Constants.h"

#include "Utilities/BackendConfiguration.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>

namespace Constants {

QString appSupportDir()
{
    static const QString dir = [] {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QString path = QDir(base).filePath(QStringLiteral("com.velmora.mac"));
        QDir().mkpath(base);
        // The library, statistics and archives are private: the folder is created 0700.
        ::mkdir(QFile::encodeName(path).constData(), 0700);
        return path;
    }();
    return dir;
}

QString supabaseURL()
{
    static const QString address = [] {
        const std::optional<BackendConfiguration>& configuration = BackendConfiguration::current();
        return configuration ? configuration->trimmedProjectURL() : QString();
    }();
    return address;
}

} // namespace Constants
