#include "VelmoraProcess.h"

#include "DesktopSession.h"
#include "Models/UserData.h"
#include "Models/VelmoraJSON.h"
#include "platform/linux/X11ClipboardKeeper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// xdotool's standard output, or nothing when it failed.
std::optional<QString> xdotoolOutput(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

VelmoraProcess::VelmoraProcess()
{
    for (const char* folder : {"data", "config", "runtime"})
        QDir(m_home.path()).mkdir(QLatin1String(folder));
    QFile::setPermissions(
        m_home.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

VelmoraProcess::~VelmoraProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString VelmoraProcess::programPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/velmora"));
}

QProcessEnvironment VelmoraProcess::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
    for (const QString& name : m_overrides.keys()) {
        if (m_overrides.value(name).isEmpty())
            environment.remove(name);
        else
            environment.insert(name, m_overrides.value(name));
    }
    return environment;
}

bool VelmoraProcess::start(const QStringList& arguments)
{
    m_process.setProcessEnvironment(environment());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(programPath(), arguments);
    return m_process.waitForStarted(5000);
}

int VelmoraProcess::startAgain(const QStringList& arguments)
{
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(programPath(), arguments);
    // The event loop keeps running so that the first one can answer in this process's tests.
    if (!second.waitForStarted(5000)
        || !DesktopSession::waitFor([&] { return second.state() == QProcess::NotRunning; }, 10000))
        return -1;
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

QString VelmoraProcess::runtimeFolder() const
{
    return m_home.filePath(QStringLiteral("runtime"));
}

QString VelmoraProcess::dataFolder() const
{
    return m_home.filePath(QStringLiteral("data/com.velmora.mac"));
}

QString VelmoraProcess::dataFile(const QString& name) const
{
    return QDir(dataFolder()).filePath(name);
}

void VelmoraProcess::writeDataFile(const QString& name, const QByteArray& bytes) const
{
    QDir().mkpath(dataFolder());
    QFile file(dataFile(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

std::optional<QRect> VelmoraProcess::popoverGeometry()
{
    const std::optional<QString> windows = xdotoolOutput(
        {"search", "--onlyvisible", "--all", "--pid", QString::number(processId()), "--name", "^Velmora$"});
    if (!windows || windows->trimmed().isEmpty())
        return std::nullopt;
    const QString window = windows->trimmed().split(u'\n').first();
    const std::optional<QString> shell = xdotoolOutput({"getwindowgeometry", "--shell", window});
    if (!shell)
        return std::nullopt;
    auto value = [&](const char* key) {
        const QRegularExpression line(
            QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(key)), QRegularExpression::MultilineOption);
        return line.match(*shell).captured(1).toInt();
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

bool VelmoraProcess::waitForPopover(bool shown, int milliseconds)
{
    return DesktopSession::waitFor([&] { return popoverGeometry().has_value() == shown; }, milliseconds);
}

qint64 VelmoraProcess::residentKilobytes() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^VmRSS:\\s+(\\d+) kB$"), QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

qint64 VelmoraProcess::cpuTicks() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId()));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which may itself hold spaces and brackets.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are the 14th and 15th fields of the whole line.
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

QByteArray VelmoraProcess::clipboardKeeperDisplay() const
{
    const QString parent = QString::number(processId());
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(parent));
    if (!children.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& child : children.readAll().split(' ')) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(child)));
        QFile environment(QStringLiteral("/proc/%1/environ").arg(QString::fromLatin1(child)));
        if (child.isEmpty() || !command.open(QIODevice::ReadOnly) || !environment.open(QIODevice::ReadOnly)
            || !command.readAll().contains(X11ClipboardKeeper::giveBackArgument))
            continue;
        for (const QByteArray& variable : environment.readAll().split('\0')) {
            if (variable.startsWith("DISPLAY="))
                return variable.mid(8);
        }
    }
    return {};
}

bool VelmoraProcess::waitForExit(int milliseconds)
{
    return DesktopSession::waitFor([&] { return m_process.state() == QProcess::NotRunning; }, milliseconds);
}

QByteArray VelmoraProcess::libraryWithShortcut(const QString& trigger, const QString& expansion)
{
    return libraryWithShortcuts({{trigger, expansion}});
}

QByteArray VelmoraProcess::libraryWithShortcuts(const QList<std::pair<QString, QString>>& shortcuts)
{
    UserData library = UserData::empty();
    for (qsizetype index = 0; index < shortcuts.size(); ++index) {
        Shortcut shortcut;
        shortcut.id = QStringLiteral("6F1C2B8A-3D4E-4F50-8A61-72B3C4D5E6F%1").arg(index, 1, 16);
        shortcut.trigger = shortcuts.at(index).first;
        shortcut.expansion = shortcuts.at(index).second;
        library.shortcuts.append(shortcut);
    }
    return VelmoraJSON::encode(library);
}
