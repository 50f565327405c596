#pragma once

#include "X11RecordedEvent.h"

#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <memory>

class X11Connection;
typedef struct _XDisplay Display;

// Follows the key presses, key releases and button presses of every client through the RECORD
// extension. The stream needs a connection of its own; it is read from the Qt event loop, never
// from a thread, so that whoever handles an event runs on the main thread like the rest of the
// engine.
class X11InputRecorder : public QObject {
    Q_OBJECT
public:
    explicit X11InputRecorder(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);
    ~X11InputRecorder() override;

    bool start();
    void stop();
    bool isRecording() const { return m_dataDisplay != nullptr; }
    // Reads and hands on what the server has recorded so far, without waiting for more.
    void readPending();

Q_SIGNALS:
    void recorded(const X11RecordedEvent& event);
    // The server ended the stream (the connection broke or the context went away).
    void interrupted();

private:
    void readStream();
    // Called by Xlib with each XRecordInterceptData of the stream.
    void take(void* data);

    std::shared_ptr<X11Connection> m_connection;
    Display* m_dataDisplay = nullptr;
    unsigned long m_context = 0;
    QSocketNotifier* m_notifier = nullptr;
    QList<X11RecordedEvent> m_received;
    bool m_ended = false;
    quint64 m_run = 0;
};
