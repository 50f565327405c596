#include "X11PrimarySelection.h"

#include "X11SelectionReply.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <climits>
#include <iterator>
#include <poll.h>

namespace {
const QString utf8TextFormat = QStringLiteral("text/plain;charset=utf-8");
const QString plainTextFormat = QStringLiteral("text/plain");
}

X11PrimarySelection::X11PrimarySelection() = default;

X11PrimarySelection::~X11PrimarySelection()
{
    m_requests.reset();
    if (m_display)
        XCloseDisplay(m_display);
}

bool X11PrimarySelection::open()
{
    if (m_display)
        return true;
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return false;
    m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(m_display, m_window, PropertyChangeMask);
    return true;
}

XID X11PrimarySelection::owner() const
{
    return XGetSelectionOwner(m_display, XA_PRIMARY);
}

void X11PrimarySelection::save()
{
    m_owner = 0;
    m_saved.clear();
    if (!open())
        return;
    m_owner = owner();
    if (m_owner == None)
        return;
    if (m_owner == m_window) {
        // Asked of ourselves, the question would wait for this very thread.
        answerRequests();
        if (!m_offered.isEmpty())
            m_saved = {{utf8TextFormat, m_offered}, {plainTextFormat, m_offered}};
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->ownsSelection()) {
        // Our own: asked over the bus it would wait for this very thread.
        if (const QMimeData* data = clipboard->mimeData(QClipboard::Selection)) {
            for (const QString& format : data->formats())
                m_saved.append({format, data->data(format)});
        }
        return;
    }
    if (std::optional<QByteArray> text = readText())
        m_saved = {{utf8TextFormat, *text}, {plainTextFormat, *text}};
}

std::optional<QByteArray> X11PrimarySelection::readText()
{
    // An answer that came too late for an earlier read is no answer to this one.
    XSync(m_display, False);
    XEvent stale;
    while (XCheckTypedWindowEvent(m_display, m_window, SelectionNotify, &stale)) { }
    const Atom target = XInternAtom(m_display, "UTF8_STRING", False);
    const Atom property = XInternAtom(m_display, "VELMORA_PRIMARY", False);
    XConvertSelection(m_display, XA_PRIMARY, target, property, m_window, CurrentTime);
    XFlush(m_display);
    const QDeadlineTimer deadline(readMilliseconds);
    while (true) {
        XEvent event;
        if (XCheckTypedWindowEvent(m_display, m_window, SelectionNotify, &event)) {
            if (event.xselection.property == None || event.xselection.target != target)
                return std::nullopt;
            Atom type = None;
            int format = 0;
            unsigned long count = 0;
            unsigned long remaining = 0;
            unsigned char* data = nullptr;
            std::optional<QByteArray> text;
            if (XGetWindowProperty(m_display, m_window, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type,
                    &format, &count, &remaining, &data)
                    == Success
                && data) {
                // Text handed over in pieces (INCR) is too large to be worth the wait.
                if (type == target && format == 8)
                    text = QByteArray(reinterpret_cast<const char*>(data), qsizetype(count));
                XFree(data);
            }
            return text;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return std::nullopt;
        pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
        poll(&descriptor, 1, int(left));
    }
}

void X11PrimarySelection::restore()
{
    const XID saved = m_owner;
    m_owner = 0;
    QList<std::pair<QString, QByteArray>> contents = std::move(m_saved);
    m_saved.clear();
    if (saved == None || contents.isEmpty() || !m_display || owner() == saved)
        return;
    auto* data = new QMimeData;
    for (const auto& [format, bytes] : contents)
        data->setData(format, bytes);
    const XID field = owner();
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Selection);
    if (owner() == field)
        offerOurselves(contents);
}

unsigned long X11PrimarySelection::serverTime()
{
    // A change to a property of our own window comes back stamped with the server's time.
    const Atom property = XInternAtom(m_display, "VELMORA_TIME", False);
    XChangeProperty(m_display, m_window, property, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
    XFlush(m_display);
    const QDeadlineTimer deadline(readMilliseconds);
    while (true) {
        XEvent event;
        if (XCheckTypedWindowEvent(m_display, m_window, PropertyNotify, &event)) {
            if (event.xproperty.atom == property)
                return event.xproperty.time;
            continue;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return 0;
        pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
        poll(&descriptor, 1, int(left));
    }
}

bool X11PrimarySelection::offerOurselves(const QList<std::pair<QString, QByteArray>>& contents)
{
    QByteArray text;
    for (const auto& [format, bytes] : contents) {
        if (format == utf8TextFormat || (format == plainTextFormat && text.isEmpty()))
            text = bytes;
    }
    const unsigned long time = text.isEmpty() ? 0 : serverTime();
    if (time == 0)
        return false;
    XSetSelectionOwner(m_display, XA_PRIMARY, m_window, time);
    if (owner() != m_window)
        return false;
    m_offered = text;
    m_offeredAt = time;
    if (!m_requests) {
        m_requests = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
        QObject::connect(m_requests.get(), &QSocketNotifier::activated, m_requests.get(), [this] { answerRequests(); });
    }
    answerRequests();
    return true;
}

void X11PrimarySelection::answerRequests()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == SelectionClear && event.xselectionclear.window == m_window)
            m_offered.clear();
        else if (event.type == SelectionRequest && event.xselectionrequest.owner == m_window)
            answer(event);
    }
}

void X11PrimarySelection::answer(const XEvent& event)
{
    const XSelectionRequestEvent& request = event.xselectionrequest;
    X11SelectionReply reply(m_display, event);
    const Atom targets = XInternAtom(m_display, "TARGETS", False);
    const Atom timestamp = XInternAtom(m_display, "TIMESTAMP", False);
    const Atom utf8String = XInternAtom(m_display, "UTF8_STRING", False);
    const Atom textAtom = XInternAtom(m_display, "TEXT", False);
    const Atom utf8Mime = XInternAtom(m_display, "text/plain;charset=utf-8", False);
    const Atom plainMime = XInternAtom(m_display, "text/plain", False);
    // Larger text would need a transfer in pieces.
    constexpr qsizetype largestText = 256 * 1024;
    const bool current = request.selection == XA_PRIMARY && !m_offered.isEmpty()
        && (request.time == CurrentTime || request.time >= m_offeredAt);
    if (current && request.target == targets) {
        reply.setAtoms({long(targets), long(timestamp), long(utf8String), long(XA_STRING), long(textAtom),
            long(utf8Mime), long(plainMime)});
    } else if (current && request.target == timestamp) {
        reply.setTimestamp(m_offeredAt);
    } else if (current && m_offered.size() <= largestText
        && (request.target == utf8String || request.target == textAtom || request.target == utf8Mime
            || request.target == plainMime || request.target == XA_STRING)) {
        const QByteArray bytes = request.target == XA_STRING ? QString::fromUtf8(m_offered).toLatin1() : m_offered;
        reply.setBytes(request.target == textAtom ? utf8String : request.target, bytes);
    }
}
