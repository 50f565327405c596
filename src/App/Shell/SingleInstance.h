#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalSocket;
class QLockFile;
class QThread;

// One Velmora per user session. The first process holds a lock file and listens on a local
// socket beside it; a later one finds the lock taken, asks the holder over the socket to show
// itself, or hands it the URL it was started with (the browser's return from sign-in), and
// steps aside. The holder answers on a thread of its own, so a main thread busy with a large
// library never makes a later start give up and run beside it; the request itself reaches
// the main thread as soon as it is free.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` defaults to a socket in the user's runtime folder.
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultSocketPath();
    // The socket; its lock file is beside it, named with ".lock" added.
    QString socketPath() const { return m_socketPath; }

    // True when this process is now the one instance. False when another one is running: it
    // has been asked to show itself, or been handed `url` when one is given, and this process
    // should end. A URL that cannot travel on one line is not handed over.
    bool claim(const QString& url = {});

Q_SIGNALS:
    // A later process asked this one to show itself.
    void activationRequested();
    // A later process handed over the URL it was started with, as text exactly as it got it.
    void urlReceived(const QString& url);

private:
    void listen();
    void readRequests(QLocalSocket* client);
    bool handOver(const QByteArray& request);

    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QThread> m_listenerThread;
    // Lives on the listener thread, with the server and its connections as children.
    QObject* m_listener = nullptr;
};
