#include "App/Shell/SingleInstance.h"

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
// How long a later process waits for the running one to listen, and for each answer. The
// answer comes from the holder's listener thread, whatever its main thread is doing, so
// only a holder that is itself still starting up, or stopped, takes long.
constexpr int startUpWaitMs = 10000;
constexpr int answerWaitMs = 2000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
}

SingleInstance::~SingleInstance()
{
    if (m_listenerThread) {
        m_listenerThread->quit();
        m_listenerThread->wait();
    }
}

QString SingleInstance::defaultSocketPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("velmora.socket"));
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
    m_listenerThread = std::make_unique<QThread>();
    m_listenerThread->setObjectName(QStringLiteral("single-instance"));
    m_listener = new QObject;
    m_listener->moveToThread(m_listenerThread.get());
    connect(m_listenerThread.get(), &QThread::finished, m_listener, &QObject::deleteLater);
    m_listenerThread->start();
    bool listening = false;
    QMetaObject::invokeMethod(
        m_listener,
        [this, &listening] {
            auto* server = new QLocalServer(m_listener);
            if (!server->listen(m_socketPath)) {
                delete server;
                return;
            }
            listening = true;
            connect(server, &QLocalServer::newConnection, m_listener, [this, server] {
                while (QLocalSocket* client = server->nextPendingConnection()) {
                    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
                    connect(client, &QLocalSocket::readyRead, m_listener, [this, client] { readRequests(client); });
                }
            });
        },
        Qt::BlockingQueuedConnection);
    // Without the socket this process still runs; later starts then run beside it.
    if (!listening) {
        m_listenerThread->quit();
        m_listenerThread->wait();
        m_listenerThread.reset();
        m_listener = nullptr;
    }
}

void SingleInstance::readRequests(QLocalSocket* client)
{
    while (client->canReadLine()) {
        const QByteArray line = client->readLine();
        // Answered here, on the listener thread, once the main thread has the request queued.
        if (line == activateRequest) {
            QMetaObject::invokeMethod(
                this, [this] { Q_EMIT activationRequested(); }, Qt::QueuedConnection);
            client->write(acknowledgement);
        } else if (line.startsWith(openPrefix) && line.endsWith('\n')) {
            const QString url = QString::fromUtf8(line.mid(openPrefix.size()).chopped(1));
            QMetaObject::invokeMethod(
                this, [this, url] { Q_EMIT urlReceived(url); }, Qt::QueuedConnection);
            client->write(acknowledgement);
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
