#include "platform/linux/XdgAutostartLoginItem.h"

#include "Persistence/FileIO.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {

// One argument of an Exec line: quoted when it holds a character the desktop entry format
// reserves, then escaped once more for the string value the line is.
QString execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString result = argument;
    if (std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); })) {
        result.clear();
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                result += u'\\';
            result += c;
        }
        result = u'"' + result + u'"';
    }
    result.replace(u'%', QStringLiteral("%%"));
    result.replace(u'\\', QStringLiteral("\\\\"));
    result.replace(u'\n', QStringLiteral("\\n"));
    result.replace(u'\t', QStringLiteral("\\t"));
    result.replace(u'\r', QStringLiteral("\\r"));
    return result;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString autostartFolder, QString executable)
    : m_folder(std::move(autostartFolder))
    , m_executable(executable.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(executable))
{
}

QString XdgAutostartLoginItem::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart"));
}

QByteArray XdgAutostartLoginItem::entry(const QString& executable)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Velmora\n"
                                        "Comment=Text expander\n"
                                        "Icon=com.velmora.Velmora\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(executable));
    return text.toUtf8();
}

QString XdgAutostartLoginItem::entryPath() const
{
    return QDir(m_folder).filePath(QLatin1String(entryFileName));
}

void XdgAutostartLoginItem::registerApplication()
{
    FileIO::makeFolders(m_folder);
    FileIO::writeAtomically(entry(m_executable), entryPath(), FileIO::Access::standard);
}

void XdgAutostartLoginItem::unregisterApplication()
{
    if (FileIO::exists(entryPath()))
        FileIO::remove(entryPath());
}
