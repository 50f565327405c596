#include "X11PrimarySelection.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <climits>
#include <poll.h>

namespace {
const QString utf8TextFormat = QStringLiteral("text/plain;charset=utf-8");
const QString plainTextFormat = QStringLiteral("text/plain");
}

X11PrimarySelection::X11PrimarySelection() = default;

X11PrimarySelection::~X11PrimarySelection()
{
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
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Selection);
}
