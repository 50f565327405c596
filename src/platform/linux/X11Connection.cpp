#include "X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <utility>

namespace {

// Xlib's default error handler ends the process. Requests of ours may fail harmlessly (a window
// that closed between two calls), so errors on our connections are ignored; errors on any other
// Xlib connection of the process still reach the handler that was installed before ours. A
// connection may live on a thread of its own (a test's other client), so the set is locked.
QMutex ownDisplaysLock;
QSet<Display*>& ownDisplays()
{
    static QSet<Display*> displays;
    return displays;
}

XErrorHandler previousHandler = nullptr;

int ignoreOwnErrors(Display* display, XErrorEvent* error)
{
    {
        const QMutexLocker locker(&ownDisplaysLock);
        if (ownDisplays().contains(display) || !previousHandler)
            return 0;
    }
    return previousHandler(display, error);
}

// Xlib's default handler of a broken connection ends the process. Connections to a server
// that may go away while we run (XWayland, which the compositor can stop or lose) only
// report it; any other connection still reaches the handler that was there.
QMutex survivingLock;
QHash<Display*, std::function<void()>>& survivingDisplays()
{
    static QHash<Display*, std::function<void()>> displays;
    return displays;
}

XIOErrorHandler previousIOHandler = nullptr;

int reportLoss(Display* display)
{
    std::function<void()> lost;
    {
        const QMutexLocker locker(&survivingLock);
        const auto found = survivingDisplays().constFind(display);
        if (found == survivingDisplays().constEnd())
            return previousIOHandler ? previousIOHandler(display) : 0;
        lost = *found;
    }
    if (lost)
        lost();
    return 0;
}

void carryOn(Display*, void*)
{
    // Reported already; returning has Xlib mark the connection dead instead of exiting.
}

}

std::shared_ptr<X11Connection> X11Connection::open()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return std::shared_ptr<X11Connection>(new X11Connection(display));
}

void X11Connection::ignoreErrorsOn(Display* display)
{
    const QMutexLocker locker(&ownDisplaysLock);
    if (ownDisplays().isEmpty()) {
        XErrorHandler previous = XSetErrorHandler(ignoreOwnErrors);
        if (previous != ignoreOwnErrors)
            previousHandler = previous;
    }
    ownDisplays().insert(display);
}

void X11Connection::stopIgnoringErrorsOn(Display* display)
{
    const QMutexLocker locker(&ownDisplaysLock);
    ownDisplays().remove(display);
}

void X11Connection::surviveLossOf(Display* display, std::function<void()> lost)
{
    {
        const QMutexLocker locker(&survivingLock);
        if (survivingDisplays().isEmpty()) {
            const XIOErrorHandler previous = XSetIOErrorHandler(reportLoss);
            if (previous != reportLoss)
                previousIOHandler = previous;
        }
        survivingDisplays().emplace(display, std::move(lost));
    }
    XSetIOErrorExitHandler(display, carryOn, nullptr);
}

void X11Connection::stopSurvivingLossOf(Display* display)
{
    const QMutexLocker locker(&survivingLock);
    survivingDisplays().remove(display);
}

X11Connection::X11Connection(Display* display)
    : m_display(display)
    , m_activeWindowAtom(XInternAtom(display, "_NET_ACTIVE_WINDOW", False))
    , m_pidAtom(XInternAtom(display, "_NET_WM_PID", False))
    , m_notifier(new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this))
{
    ignoreErrorsOn(m_display);

    int opcode = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(m_display, &opcode, &m_xkbEventBase, &errorBase, &major, &minor)) {
        XkbSelectEvents(m_display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
            XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    } else {
        m_xkbEventBase = -1;
    }
    XSelectInput(m_display, rootWindow(), PropertyChangeMask);
    XFlush(m_display);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Connection::processPendingEvents);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (XEventsQueued(m_display, QueuedAlready) > 0)
                processPendingEvents();
        });
    }
}

X11Connection::~X11Connection()
{
    delete m_notifier;
    stopIgnoringErrorsOn(m_display);
    XCloseDisplay(m_display);
}

Window X11Connection::rootWindow() const
{
    return DefaultRootWindow(m_display);
}

Atom X11Connection::atom(const char* name) const
{
    return XInternAtom(m_display, name, False);
}

bool X11Connection::hasExtension(const char* name) const
{
    // A server's extensions do not change while we are connected to it.
    auto known = m_extensions.constFind(name);
    if (known != m_extensions.constEnd())
        return known.value();
    int opcode = 0;
    int event = 0;
    int error = 0;
    const bool present = XQueryExtension(m_display, name, &opcode, &event, &error);
    m_extensions.insert(name, present);
    return present;
}

void X11Connection::processPendingEvents()
{
    bool mappingChanged = false;
    bool activeChanged = false;
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            mappingChanged = true;
        } else if (m_xkbEventBase >= 0 && event.type == m_xkbEventBase) {
            const auto* xkb = reinterpret_cast<const XkbAnyEvent*>(&event);
            if (xkb->xkb_type == XkbMapNotify) {
                XkbRefreshKeyboardMapping(reinterpret_cast<XkbMapNotifyEvent*>(&event));
                mappingChanged = true;
            } else if (xkb->xkb_type == XkbNewKeyboardNotify) {
                mappingChanged = true;
            }
        } else if (event.type == PropertyNotify && event.xproperty.atom == m_activeWindowAtom) {
            activeChanged = true;
        } else if (event.type == DestroyNotify && event.xdestroywindow.window == m_focusWindow) {
            m_focusWindow = 0;
        } else if ((event.type == KeyPress || event.type == KeyRelease) && m_keyHandler) {
            m_keyHandler(event);
        }
    }
    if (activeChanged) {
        m_frontmost.reset();
        m_noActiveWindow = false;
    }
    if (mappingChanged)
        Q_EMIT keyboardMappingChanged();
    if (activeChanged)
        Q_EMIT activeWindowChanged();
}

qint64 X11Connection::frontmostProcess()
{
    // The window manager announces every switch of its active window on the root window: an
    // answer found through it holds until such an announcement has come in. Reading what the
    // server has sent so far waits for nothing.
    if (XEventsQueued(m_display, QueuedAfterReading) > 0)
        processPendingEvents();
    if (m_frontmost)
        return *m_frontmost;
    Window window = 0;
    if (!m_noActiveWindow) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, rootWindow(), m_activeWindowAtom, 0, 1, False, XA_WINDOW, &type, &format,
                &count, &remaining, &data)
                == Success
            && data) {
            if (type == XA_WINDOW && format == 32 && count == 1)
                window = *reinterpret_cast<const unsigned long*>(data);
            XFree(data);
        }
        if (window != 0) {
            m_frontmost = processOfWindow(window);
            return *m_frontmost;
        }
        // A window manager that starts or makes a window active sets the property, which
        // is announced.
        m_noActiveWindow = true;
    }
    // Without a window manager the input focus tells, and nothing announces its moves. The
    // process behind a window does not change while the window lives: its going is announced
    // (a window's id may be given out again afterwards).
    int revert = 0;
    XGetInputFocus(m_display, &window, &revert);
    if (window == PointerRoot || window == None || window == rootWindow())
        return 0;
    if (window != m_focusWindow) {
        followFocusWindow(window);
        m_focusProcess = processOfWindow(window);
    }
    return m_focusProcess;
}

void X11Connection::followFocusWindow(Window window)
{
    // Selecting events replaces what this connection selected on the window before.
    if (m_focusWindow != 0)
        XSelectInput(m_display, m_focusWindow, long(m_focusWindowMask));
    XWindowAttributes attributes{};
    m_focusWindow = XGetWindowAttributes(m_display, window, &attributes) ? window : 0;
    m_focusWindowMask = attributes.your_event_mask;
    if (m_focusWindow != 0)
        XSelectInput(m_display, window, attributes.your_event_mask | StructureNotifyMask);
}

qint64 X11Connection::processOfWindow(Window window)
{
    // Toolkits put the process id on their top-level window; the focus may sit on a child of it,
    // and a window manager may have put a frame around it.
    const Window root = rootWindow();
    while (window != 0 && window != root) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(
                m_display, window, m_pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining, &data)
                == Success
            && data) {
            const qint64 pid = (type == XA_CARDINAL && format == 32 && count == 1)
                ? qint64(*reinterpret_cast<const unsigned long*>(data))
                : 0;
            XFree(data);
            if (pid > 0)
                return pid;
        }
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int childCount = 0;
        if (!XQueryTree(m_display, window, &rootReturn, &parent, &children, &childCount))
            return 0;
        if (children)
            XFree(children);
        window = parent;
    }
    return 0;
}
