#include "platform/linux/X11FloatingPicture.h"

#include "platform/linux/X11Connection.h"

#include <QByteArray>
#include <QPointF>
#include <QVarLengthArray>

#include <algorithm>
#include <chrono>
#include <cmath>

#include <pthread.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shapeconst.h>
#include <X11/extensions/sync.h>

namespace {
// A path's steps are released this long after their last one at the latest, even by a server
// that fell behind; until then a newer path first takes the older off the screen.
constexpr std::chrono::milliseconds scheduledMargin{250};

// The server's millisecond clock as a SYNC counter; 0 where the server has none.
XSyncCounter serverTimeCounter(Display* display)
{
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XSyncQueryExtension(display, &event, &error) || !XSyncInitialize(display, &major, &minor))
        return 0;
    int count = 0;
    XSyncSystemCounter* counters = XSyncListSystemCounters(display, &count);
    XSyncCounter found = 0;
    for (int i = 0; i < count; ++i) {
        if (qstrcmp(counters[i].name, "SERVERTIME") == 0)
            found = counters[i].counter;
    }
    if (counters)
        XSyncFreeSystemCounterList(counters);
    return found;
}

XSyncValue syncValue(qint64 value)
{
    XSyncValue result;
    XSyncIntsToValue(&result, static_cast<unsigned int>(quint64(value) & 0xffffffffU), int(value >> 32));
    return result;
}

qint64 fromSyncValue(const XSyncValue& value)
{
    return qint64(quint64(quint32(XSyncValueHigh32(value))) << 32 | quint64(XSyncValueLow32(value)));
}
} // namespace

std::unique_ptr<X11FloatingPicture> X11FloatingPicture::open(bool translucent)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    int event = 0;
    int error = 0;
    if (!XFixesQueryExtension(display, &event, &error)) {
        XCloseDisplay(display);
        return nullptr;
    }
    // A refused request (a picture too large for the server, say) must not end the program, as
    // Xlib's default handler would: the label is decoration.
    X11Connection::ignoreErrorsOn(display);
    Display* control = nullptr;
    XSyncCounter serverTime = serverTimeCounter(display);
    XSyncCounter cancel = 0;
    if (serverTime)
        control = XOpenDisplay(nullptr);
    if (control && serverTimeCounter(control) == serverTime) {
        X11Connection::ignoreErrorsOn(control);
        cancel = XSyncCreateCounter(control, syncValue(0));
        // The counter exists before any step waits on it.
        XSync(control, False);
    } else if (control) {
        XCloseDisplay(control);
        control = nullptr;
    }
    return std::unique_ptr<X11FloatingPicture>(
        new X11FloatingPicture(display, control, control ? serverTime : 0, cancel, translucent));
}

X11FloatingPicture::X11FloatingPicture(
    Display* display, Display* control, unsigned long serverTime, unsigned long cancel, bool translucent)
    : m_display(display)
    , m_control(control)
    , m_serverTime(serverTime)
    , m_cancel(cancel)
    , m_translucent(translucent)
    , m_thread([this] { run(); })
{
}

X11FloatingPicture::~X11FloatingPicture()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
    // Closing waits for the server to have read everything sent: no step may be held then.
    cancelScheduled(true);
    if (m_pixmap)
        XFreePixmap(m_display, m_pixmap);
    if (m_window)
        XDestroyWindow(m_display, m_window);
    X11Connection::stopIgnoringErrorsOn(m_display);
    XCloseDisplay(m_display);
    if (m_control) {
        XSyncDestroyCounter(m_control, m_cancel);
        X11Connection::stopIgnoringErrorsOn(m_control);
        XCloseDisplay(m_control);
    }
}

void X11FloatingPicture::play(const QImage& picture, const QList<Frame>& frames)
{
    if (picture.isNull() || frames.isEmpty())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_next = Play{picture, frames};
    }
    m_wake.notify_one();
}

void X11FloatingPicture::run()
{
    using Clock = std::chrono::steady_clock;
    // Told apart from the interface thread in the process's thread list.
    pthread_setname_np(pthread_self(), "velmora-label");
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_quit || m_next; });
        if (m_quit)
            return;
        const Play play = std::move(*m_next);
        m_next.reset();
        lock.unlock();
        if (m_control) {
            schedule(play);
            lock.lock();
            continue;
        }
        upload(play.picture);
        const Clock::time_point start = Clock::now();
        qsizetype shown = 0;
        place(play.frames.first());
        XMapRaised(m_display, m_window);
        XFlush(m_display);
        lock.lock();
        // Each frame at its time; a newer picture or the end of the program cuts the rest.
        for (qsizetype i = 1; i < play.frames.size() && !m_quit && !m_next; ++i) {
            const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(play.frames.at(i).at));
            if (m_wake.wait_until(lock, due, [this] { return m_quit || m_next; }))
                break;
            lock.unlock();
            place(play.frames.at(i));
            XFlush(m_display);
            shown = i;
            lock.lock();
        }
        if (!m_next && shown == play.frames.size() - 1) {
            XUnmapWindow(m_display, m_window);
            XFlush(m_display);
        } else if (m_quit) {
            return;
        }
    }
}

void X11FloatingPicture::schedule(const Play& play)
{
    cancelScheduled(false);
    upload(play.picture);
    XSyncValue now;
    if (!XSyncQueryCounter(m_display, m_serverTime, &now))
        return;
    const qint64 start = fromSyncValue(now);
    place(play.frames.first());
    XMapRaised(m_display, m_window);
    // Each step waits for its time on the server's clock, or for a newer path to cancel it.
    XSyncWaitCondition conditions[2]{};
    for (XSyncWaitCondition& condition : conditions) {
        condition.trigger.value_type = XSyncAbsolute;
        condition.trigger.test_type = XSyncPositiveComparison;
        // No event when a step is released: nothing here reads them.
        XSyncMaxValue(&condition.event_threshold);
    }
    conditions[0].trigger.counter = m_serverTime;
    conditions[1].trigger.counter = m_cancel;
    conditions[1].trigger.wait_value = syncValue(m_cancels + 1);
    for (qsizetype i = 1; i < play.frames.size(); ++i) {
        const Frame& frame = play.frames.at(i);
        conditions[0].trigger.wait_value = syncValue(start + std::llround(frame.at * 1000));
        XSyncAwait(m_display, conditions, 2);
        place(frame);
    }
    XUnmapWindow(m_display, m_window);
    XFlush(m_display);
    m_scheduledUntil = std::chrono::steady_clock::now()
        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(play.frames.last().at))
        + scheduledMargin;
}

void X11FloatingPicture::cancelScheduled(bool evenIfEnded)
{
    if (!m_control || !m_window || (!evenIfEnded && std::chrono::steady_clock::now() >= m_scheduledUntil))
        return;
    // Off the screen first, so that the steps let through are not seen; done before anything
    // newer is sent on the picture's connection, which would otherwise wait behind them.
    XUnmapWindow(m_control, m_window);
    XSyncSetCounter(m_control, m_cancel, syncValue(++m_cancels));
    XSync(m_control, False);
    m_scheduledUntil = {};
}

void X11FloatingPicture::upload(const QImage& image)
{
    if (m_window && image.cacheKey() == m_uploaded)
        return;
    const int screen = DefaultScreen(m_display);
    const Window root = RootWindow(m_display, screen);
    const QImage picture = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!m_window) {
        XVisualInfo info{};
        const bool alpha = m_translucent && XMatchVisualInfo(m_display, screen, 32, TrueColor, &info);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0;
        attributes.border_pixel = 0;
        unsigned long mask = CWOverrideRedirect | CWBackPixel | CWBorderPixel;
        if (alpha) {
            attributes.colormap = XCreateColormap(m_display, root, info.visual, AllocNone);
            mask |= CWColormap;
        }
        m_depth = alpha ? 32 : DefaultDepth(m_display, screen);
        m_visual = alpha ? info.visual : DefaultVisual(m_display, screen);
        m_window = XCreateWindow(m_display, root, 0, 0, unsigned(picture.width()), unsigned(picture.height()), 0,
            m_depth, InputOutput, static_cast<Visual*>(m_visual), mask, &attributes);
        // The pointer goes through to whatever lies below.
        const XserverRegion nothing = XFixesCreateRegion(m_display, nullptr, 0);
        XFixesSetWindowShapeRegion(m_display, m_window, ShapeInput, 0, 0, nothing);
        XFixesDestroyRegion(m_display, nothing);
        m_opacityAtom = XInternAtom(m_display, "_NET_WM_WINDOW_OPACITY", False);
        const Atom type = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE", False);
        const Atom tooltip = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
        XChangeProperty(m_display, m_window, type, XA_ATOM, 32, PropModeReplace,
            reinterpret_cast<const unsigned char*>(&tooltip), 1);
    }
    XResizeWindow(m_display, m_window, unsigned(picture.width()), unsigned(picture.height()));
    if (m_pixmap)
        XFreePixmap(m_display, m_pixmap);
    m_pixmap = XCreatePixmap(m_display, m_window, unsigned(picture.width()), unsigned(picture.height()), unsigned(m_depth));
    // Premultiplied ARGB is the 32-bit visual's layout on a little-endian machine; a 24-bit
    // visual ignores the alpha byte, which leaves the picture as drawn over black.
    XImage* ximage = XCreateImage(m_display, static_cast<Visual*>(m_visual), unsigned(m_depth), ZPixmap, 0,
        const_cast<char*>(reinterpret_cast<const char*>(picture.constBits())), unsigned(picture.width()),
        unsigned(picture.height()), 32, int(picture.bytesPerLine()));
    if (ximage) {
        GC gc = XCreateGC(m_display, m_pixmap, 0, nullptr);
        XPutImage(m_display, m_pixmap, gc, ximage, 0, 0, 0, 0, unsigned(picture.width()), unsigned(picture.height()));
        XFreeGC(m_display, gc);
        // The pixels belong to the picture.
        ximage->data = nullptr;
        XDestroyImage(ximage);
    }
    XSetWindowBackgroundPixmap(m_display, m_window, m_pixmap);
    XClearWindow(m_display, m_window);
    if (m_depth != 32) {
        // Only the pixels at least half opaque, in runs along each row.
        QVarLengthArray<XRectangle, 256> runs;
        for (int y = 0; y < picture.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width();) {
                if (qAlpha(row[x]) < 128) {
                    ++x;
                    continue;
                }
                const int from = x;
                while (x < picture.width() && qAlpha(row[x]) >= 128)
                    ++x;
                runs.append(XRectangle{short(from), short(y), static_cast<unsigned short>(x - from), 1});
            }
        }
        const XserverRegion shape = XFixesCreateRegion(m_display, runs.data(), int(runs.size()));
        XFixesSetWindowShapeRegion(m_display, m_window, ShapeBounding, 0, 0, shape);
        XFixesDestroyRegion(m_display, shape);
    }
    m_uploaded = image.cacheKey();
    m_scale = image.devicePixelRatio();
}

void X11FloatingPicture::place(const Frame& frame)
{
    // Positions are in Qt's scaled coordinates, the picture's pixels in the screen's.
    const QPoint at = (QPointF(frame.position) * m_scale).toPoint();
    XMoveWindow(m_display, m_window, at.x(), at.y());
    if (frame.opacity == m_opacity)
        return;
    m_opacity = frame.opacity;
    if (m_opacity >= 1) {
        XDeleteProperty(m_display, m_window, m_opacityAtom);
        return;
    }
    const unsigned long value = static_cast<unsigned long>(std::lround(std::clamp(m_opacity, 0.0, 1.0) * 0xffffffffUL));
    XChangeProperty(m_display, m_window, m_opacityAtom, XA_CARDINAL, 32, PropModeReplace,
        reinterpret_cast<const unsigned char*>(&value), 1);
}
