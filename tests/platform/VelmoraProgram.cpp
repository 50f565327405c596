#include "VelmoraProgram.h"

#include "Persistence/LocalStore.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <unistd.h>

VelmoraProgram::VelmoraProgram(QString program)
    : m_program(std::move(program))
{
}

VelmoraProgram::~VelmoraProgram()
{
    stop();
}

QString VelmoraProgram::dataFolder() const
{
    return m_home.filePath(QStringLiteral("data/com.velmora.mac"));
}

bool VelmoraProgram::seed(const UserData& library)
{
    if (!m_home.isValid())
        return false;
    for (const char* folder : {"data/com.velmora.mac", "config", "cache", "runtime"})
        QDir(m_home.path()).mkpath(QString::fromLatin1(folder));
    // The single-instance socket's folder must be private.
    QFile::setPermissions(m_home.filePath(QStringLiteral("runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    LocalStore store(dataFolder());
    store.loadData();
    store.loadSettings();
    store.loadStats();
    return store.saveData(library);
}

bool VelmoraProgram::launch()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(m_home.filePath(QStringLiteral("velmora.log")));
    m_process.start(m_program, {});
    return m_process.waitForStarted(5000);
}

void VelmoraProgram::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

namespace {

// Fields after the command name, which may hold spaces: they start behind its closing parenthesis.
QList<QByteArray> statFields(const QString& process)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

} // namespace

double VelmoraProgram::cpuMilliseconds(qint64 process)
{
    // The process's own time, its ended children's, and its running children's: what a
    // program costs includes the helpers it starts (Velmora's clipboard giving back).
    const QList<QByteArray> own = statFields(QString::number(process));
    if (own.size() <= 14)
        return 0;
    double ticks = own.at(11).toDouble() + own.at(12).toDouble() + own.at(13).toDouble() + own.at(14).toDouble();
    const QByteArray parent = QByteArray::number(process);
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.at(0).isDigit())
            continue;
        const QList<QByteArray> fields = statFields(entry);
        if (fields.size() > 14 && fields.at(1) == parent)
            ticks += fields.at(11).toDouble() + fields.at(12).toDouble();
    }
    return ticks * 1e3 / double(sysconf(_SC_CLK_TCK));
}

double VelmoraProgram::runQueueMilliseconds(qint64 process)
{
    // Time on the processor, time waiting on a run queue (ns), time slices run.
    QFile schedstat(QStringLiteral("/proc/%1/schedstat").arg(process));
    if (!schedstat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = schedstat.readAll().trimmed().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() / 1e6 : 0;
}

QMap<qint64, VelmoraProgram::ThreadTime> VelmoraProgram::threadMilliseconds(qint64 process)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(process));
    QMap<qint64, ThreadTime> threads;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (!schedstat.open(QIODevice::ReadOnly))
            continue;
        ThreadTime& thread = threads[task.toLongLong()];
        thread.milliseconds = schedstat.readAll().trimmed().split(' ').value(0).toDouble() / 1e6;
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            thread.name = QString::fromUtf8(comm.readAll().trimmed());
    }
    return threads;
}

qint64 VelmoraProgram::residentMegabytes(qint64 process)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    }
    return 0;
}
