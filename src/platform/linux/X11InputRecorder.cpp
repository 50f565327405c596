#include "X11InputRecorder.h"

#include "X11Connection.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

X11InputRecorder::X11InputRecorder(std::shared_ptr<X11Connection> connection, QObject* parent)
    : QObject(parent)
    , m_connection(std::move(connection))
{
}

X11InputRecorder::~X11InputRecorder()
{
    stop();
}

bool X11InputRecorder::start()
{
    if (m_dataDisplay)
        return true;
    if (!m_connection || !m_connection->hasExtension("RECORD"))
        return false;
    Display* control = m_connection->display();
    XRecordRange* range = XRecordAllocRange();
    if (!range)
        return false;
    range->device_events.first = KeyPress;
    range->device_events.last = ButtonPress;
    XRecordClientSpec clients = XRecordAllClients;
    m_context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(control, False);
    if (!m_context)
        return false;
    m_dataDisplay = XOpenDisplay(DisplayString(control));
    if (m_dataDisplay)
        X11Connection::ignoreErrorsOn(m_dataDisplay);
    ++m_run;
    const auto intercept
        = [](char* closure, XRecordInterceptData* data) { reinterpret_cast<X11InputRecorder*>(closure)->take(data); };
    if (!m_dataDisplay
        || !XRecordEnableContextAsync(m_dataDisplay, m_context, intercept, reinterpret_cast<char*>(this))) {
        stop();
        return false;
    }
    m_ended = false;
    m_notifier = new QSocketNotifier(ConnectionNumber(m_dataDisplay), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11InputRecorder::readStream);
    XFlush(m_dataDisplay);
    return true;
}

void X11InputRecorder::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_context) {
        Display* control = m_connection->display();
        XRecordDisableContext(control, m_context);
        XRecordFreeContext(control, m_context);
        XSync(control, False);
        m_context = 0;
    }
    if (m_dataDisplay) {
        X11Connection::stopIgnoringErrorsOn(m_dataDisplay);
        XCloseDisplay(m_dataDisplay);
        m_dataDisplay = nullptr;
    }
    m_received.clear();
}

void X11InputRecorder::take(void* data)
{
    auto* record = static_cast<XRecordInterceptData*>(data);
    if (record->category == XRecordFromServer && record->data_len * 4 >= sizeof(xEvent)) {
        const auto* event = reinterpret_cast<const xEvent*>(record->data);
        X11RecordedEvent recorded;
        recorded.detail = event->u.u.detail;
        recorded.state = event->u.keyButtonPointer.state;
        recorded.time = event->u.keyButtonPointer.time;
        bool wanted = true;
        switch (event->u.u.type & 0x7f) {
        case KeyPress: recorded.kind = X11RecordedEvent::KeyDown; break;
        case KeyRelease: recorded.kind = X11RecordedEvent::KeyUp; break;
        case ButtonPress: recorded.kind = X11RecordedEvent::ButtonDown; break;
        default: wanted = false;
        }
        if (wanted)
            m_received.append(recorded);
    } else if (record->category == XRecordEndOfData) {
        m_ended = true;
    }
    XRecordFreeData(record);
}

void X11InputRecorder::readPending()
{
    if (m_dataDisplay)
        readStream();
}

void X11InputRecorder::readStream()
{
    // Xlib runs the intercept callback from inside its own read; the events are handed on only
    // after it has returned, so that a handler may stop the recorder.
    XRecordProcessReplies(m_dataDisplay);
    const bool ended = m_ended;
    // A handler may stop the recording, or stop it and start a new one. It may also read again
    // while an event is handed on, to learn of the keys typed after it: those not handed on yet
    // stay queued, so that they go first, in the order typed.
    const quint64 run = m_run;
    while (!m_received.isEmpty()) {
        if (!m_dataDisplay || m_run != run)
            return;
        Q_EMIT recorded(m_received.takeFirst());
    }
    if (ended && m_dataDisplay && m_run == run) {
        stop();
        Q_EMIT interrupted();
    }
}
