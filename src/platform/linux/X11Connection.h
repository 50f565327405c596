#pragma once

#include <QHash>
#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>

typedef struct _XDisplay Display;
typedef unsigned long Window;
typedef unsigned long Atom;
union _XEvent;

// Our own Xlib connection to the X server that Qt shows its windows on. It carries every request
// of the Linux back ends except the RECORD stream (which needs a connection to itself) and follows
// what the desktop announces on it: keyboard mapping changes and switches of the active window.
// Events are read when the socket turns readable, and also whenever the event loop is about to
// wait: a round trip may have moved them into Xlib's queue, after which the socket stays quiet.
class X11Connection : public QObject {
    Q_OBJECT
public:
    // Nothing when there is no X display (no DISPLAY, a Wayland session without XWayland, or a
    // server that refuses us); the callers then report the engine as unable to run.
    static std::shared_ptr<X11Connection> open();
    ~X11Connection() override;

    Display* display() const { return m_display; }
    // Failed requests on the display are ignored instead of ending the process (Xlib's default);
    // for the connections the back ends open besides this one.
    static void ignoreErrorsOn(Display* display);
    static void stopIgnoringErrorsOn(Display* display);
    // A broken connection to the display (its server gone) is reported to `lost`, on the thread
    // that noticed, instead of ending the process (Xlib's default); Xlib then marks the
    // connection dead and its calls fail. Until stopSurvivingLossOf().
    static void surviveLossOf(Display* display, std::function<void()> lost);
    static void stopSurvivingLossOf(Display* display);
    Window rootWindow() const;
    Atom atom(const char* name) const;
    bool hasExtension(const char* name) const;

    // The process behind the window that has the keyboard: the window manager's active window
    // when there is one, else the X input focus. 0 when it cannot be told. Asks the server
    // nothing while the window manager has announced no switch since the last answer.
    qint64 frontmostProcess();

    // Key events reach this connection only through a keyboard grab of ours; they go to the
    // handler (nothing when there is none).
    void setKeyHandler(std::function<void(const _XEvent&)> handler) { m_keyHandler = std::move(handler); }
    // Handles every event the server has sent so far.
    void processPendingEvents();

Q_SIGNALS:
    void keyboardMappingChanged();
    void activeWindowChanged();

private:
    explicit X11Connection(Display* display);
    qint64 processOfWindow(Window window);
    void followFocusWindow(Window window);

    Display* m_display;
    int m_xkbEventBase = -1;
    Atom m_activeWindowAtom;
    Atom m_pidAtom;
    QSocketNotifier* m_notifier;
    mutable QHash<QByteArray, bool> m_extensions;
    std::function<void(const _XEvent&)> m_keyHandler;
    std::optional<qint64> m_frontmost;
    // The window manager has set no active window since the last look.
    bool m_noActiveWindow = false;
    // The input focus window last looked up and its process, kept until the window goes.
    Window m_focusWindow = 0;
    unsigned long m_focusWindowMask = 0;
    qint64 m_focusProcess = 0;
};
