#include "BareXServer.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

bool BareXServer::start(const QStringList& extraArguments)
{
    // The server picks a free display itself and says which on its standard output.
    m_server.start(QStringLiteral("Xvfb"), QStringList{"-displayfd", "1", "-nolisten", "tcp"} + extraArguments);
    if (!m_server.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (!m_server.canReadLine() && m_server.state() == QProcess::Running && !deadline.hasExpired())
        m_server.waitForReadyRead(100);
    bool ok = false;
    const int number = m_server.readLine().trimmed().toInt(&ok);
    if (!ok || m_server.state() != QProcess::Running)
        return false;
    // Connecting to see whether it is up would itself make it reset; its socket says so.
    while (!deadline.hasExpired() && !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
        QThread::msleep(5);
    m_display = QStringLiteral(":%1").arg(number).toLatin1();
    return true;
}

void BareXServer::kill()
{
    m_server.kill();
    m_server.waitForFinished();
}

BareXServer::~BareXServer()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000))
        kill();
}
