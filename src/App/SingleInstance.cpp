#include "App/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace {

const QByteArray activateRequest = "activate\n";
const QByteArray openPrefix = "open ";
const QByteArray acknowledgement = "ok\n";
// No request is longer; a peer that sends more without a line break is cut off.
constexpr qint64 longestRequest = 64 * 1024;
// How long a later process waits for the running one to listen, and for each answer.
constexpr int startUpWaitMs = 3000;
constexpr int answerWaitMs = 1000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(QStringLiteral("velmora.socket"));
}

bool SingleInstance::claim(const QString& url)
{
    const bool fitsOnALine = !url.contains(u'\n') && !url.contains(u'\r');
    const QByteArray request = url.isEmpty() || !fitsOnALine ? activateRequest : openPrefix + url.toUtf8() + '\n';
    // The lock decides, not the socket: binding a socket may replace one that is in use, and
    // a lock held by a process that has ended is taken over.
    m_lock = std::make_unique<QLockFile>(m_socketPath + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        QLocalServer::removeServer(m_socketPath);
        listen();
        return true;
    }
    // The holder may still be starting up and not listen yet.
    QDeadlineTimer deadline(startUpWaitMs);
    do {
        if (handOver(request))
            return false;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    // A holder that never answers is stuck; this process runs rather than nothing at all.
    return true;
}

void SingleInstance::listen()
{
    auto* server = new QLocalServer(this);
    // Without the socket this process still runs; later starts then run beside it.
    if (!server->listen(m_socketPath)) {
        delete server;
        return;
    }
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* client = server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readRequests(client); });
        }
    });
    m_server = server;
}

void SingleInstance::readRequests(QLocalSocket* client)
{
    while (client->canReadLine()) {
        const QByteArray line = client->readLine();
        if (line == activateRequest) {
            client->write(acknowledgement);
            Q_EMIT activationRequested();
        } else if (line.startsWith(openPrefix) && line.endsWith('\n')) {
            client->write(acknowledgement);
            Q_EMIT urlReceived(QString::fromUtf8(line.mid(openPrefix.size()).chopped(1)));
        }
    }
    if (client->bytesAvailable() > longestRequest)
        client->abort();
}

bool SingleInstance::handOver(const QByteArray& request)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(answerWaitMs))
        return false;
    socket.write(request);
    if (!socket.waitForBytesWritten(answerWaitMs))
        return false;
    // The answer says the running instance took the request; without it this one starts.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(answerWaitMs))
            return false;
    }
    return socket.readLine() == acknowledgement;
}
