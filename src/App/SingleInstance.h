#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

// One Velmora per user session. The first process holds a lock file and listens on a local
// socket beside it; a later one finds the lock taken, asks the holder over the socket to show
// itself and steps aside.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` defaults to a socket in the user's runtime folder.
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultSocketPath();

    // True when this process is now the one instance. False when another one is running: it
    // has been asked to show itself and this process should end.
    bool claim();

Q_SIGNALS:
    // A later process asked this one to show itself.
    void activationRequested();

private:
    void listen();
    bool handOver();

    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
