#include "X11InputRecorder.h"

#include "X11Connection.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

X11InputRecorder::X11InputRecorder(std::shared_ptr<X11Connection> connection, QObject* parent)
    : QObject(parent)
    , connection_(std::move(connection))
{
}

X11InputRecorder::~X11InputRecorder()
{
    stop();
}

bool X11InputRecorder::start()
{
    if (dataDisplay_)
        return true;
    if (!connection_ || !connection_->hasExtension("RECORD"))
        return false;
    Display* control = connection_->display();
    XRecordRange* range = XRecordAllocRange();
    if (!range)
        return false;
    range->device_events.first = KeyPress;
    range->device_events.last = ButtonPress;
    XRecordClientSpec clients = XRecordAllClients;
    context_ = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(control, False);
    if (!context_)
        return false;
    dataDisplay_ = XOpenDisplay(DisplayString(control));
    if (dataDisplay_)
        X11Connection::ignoreErrorsOn(dataDisplay_);
    ++run_;
    const auto intercept = [](char* closure, XRecordInterceptData* data) {
        reinterpret_cast<X11InputRecorder*>(closure)->take(data);
    };
    if (!dataDisplay_
        || !XRecordEnableContextAsync(dataDisplay_, context_, intercept, reinterpret_cast<char*>(this))) {
        stop();
        return false;
    }
    ended_ = false;
    notifier_ = new QSocketNotifier(ConnectionNumber(dataDisplay_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &X11InputRecorder::readStream);
    XFlush(dataDisplay_);
    return true;
}

void X11InputRecorder::stop()
{
    delete notifier_;
    notifier_ = nullptr;
    if (context_) {
        Display* control = connection_->display();
        XRecordDisableContext(control, context_);
        XRecordFreeContext(control, context_);
        XSync(control, False);
        context_ = 0;
    }
    if (dataDisplay_) {
        X11Connection::stopIgnoringErrorsOn(dataDisplay_);
        XCloseDisplay(dataDisplay_);
        dataDisplay_ = nullptr;
    }
    received_.clear();
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
        case KeyPress:
            recorded.kind = X11RecordedEvent::KeyDown;
            break;
        case KeyRelease:
            recorded.kind = X11RecordedEvent::KeyUp;
            break;
        case ButtonPress:
            recorded.kind = X11RecordedEvent::ButtonDown;
            break;
        default:
            wanted = false;
        }
        if (wanted)
            received_.append(recorded);
    } else if (record->category == XRecordEndOfData) {
        ended_ = true;
    }
    XRecordFreeData(record);
}

void X11InputRecorder::readStream()
{
    // Xlib runs the intercept callback from inside its own read; the events are handed on only
    // after it has returned, so that a handler may stop the recorder.
    XRecordProcessReplies(dataDisplay_);
    const QList<X11RecordedEvent> events = std::exchange(received_, {});
    const bool ended = ended_;
    // A handler may stop the recording, or stop it and start a new one.
    const quint64 run = run_;
    for (const X11RecordedEvent& event : events) {
        if (!dataDisplay_ || run_ != run)
            return;
        Q_EMIT recorded(event);
    }
    if (ended && dataDisplay_ && run_ == run) {
        stop();
        Q_EMIT interrupted();
    }
}
