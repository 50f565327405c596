#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// A bare X server of a test's own (Xvfb), which the test can end as a session's end does. With
// the default reset policy it resets whenever its last client leaves.
class BareXServer {
public:
    bool start(const QStringList& extraArguments = {});
    // Ended abruptly, as when its session goes.
    void kill();
    // Ended politely, the server removes its socket and lock file.
    ~BareXServer();

    QByteArray display() const { return m_display; }

private:
    QProcess m_server;
    QByteArray m_display;
};
