#include "platform/linux/X11WindowEffects.h"

#include <QByteArray>
#include <QWindow>

#include <algorithm>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
constexpr char blurProperty[] = "_KDE_NET_WM_BLUR_BEHIND_REGION";
}

X11WindowEffects::X11WindowEffects()
    : m_display(XOpenDisplay(nullptr))
{
}

X11WindowEffects::~X11WindowEffects()
{
    if (m_display)
        XCloseDisplay(m_display);
}

FloatingPicture* X11WindowEffects::floatingPicture()
{
    if (!m_floatingPictureTried) {
        m_floatingPictureTried = true;
        m_floatingPicture = X11FloatingPicture::open(translucencyAvailable());
    }
    return m_floatingPicture.get();
}

bool X11WindowEffects::translucencyAvailable() const
{
    if (!m_display)
        return false;
    const QByteArray name = QByteArray("_NET_WM_CM_S").append(QByteArray::number(DefaultScreen(m_display)));
    const Atom selection = XInternAtom(m_display, name.constData(), False);
    return XGetSelectionOwner(m_display, selection) != None;
}

bool X11WindowEffects::blurAvailable() const
{
    if (!translucencyAvailable())
        return false;
    const Atom blur = XInternAtom(m_display, blurProperty, True);
    if (blur == None)
        return false;
    int count = 0;
    Atom* properties = XListProperties(m_display, DefaultRootWindow(m_display), &count);
    bool offered = false;
    for (int i = 0; i < count && !offered; ++i)
        offered = properties[i] == blur;
    if (properties)
        XFree(properties);
    return offered;
}

void X11WindowEffects::setBlurBehind(QWindow& window, bool enabled)
{
    setBlurBehind(quint64(window.winId()), enabled);
}

void X11WindowEffects::setBlurBehind(quint64 window, bool enabled)
{
    if (!m_display || window == 0)
        return;
    const Atom blur = XInternAtom(m_display, blurProperty, False);
    if (enabled && blurAvailable())
        XChangeProperty(m_display, Window(window), blur, XA_CARDINAL, 32, PropModeReplace, nullptr, 0);
    else
        XDeleteProperty(m_display, Window(window), blur);
    // Done when this returns: the compositor and whoever looks next see the window as asked.
    XSync(m_display, False);
}

namespace {

bool windowManagerSupports(Display* display, Atom property)
{
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False, XA_ATOM, &type, &format,
            &count, &remaining, &data)
            != Success
        || !data)
        return false;
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    const bool found = std::find(atoms, atoms + count, property) != atoms + count;
    XFree(data);
    return found;
}

// A focus request can race the window's unmapping; its error must not end the program.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

void X11WindowEffects::activate(QWindow& window)
{
    const auto id = Window(window.winId());
    if (!m_display || id == 0)
        return;
    const Atom active = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    if (windowManagerSupports(m_display, active)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = id;
        event.xclient.message_type = active;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager: the user asked for it
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(
            m_display, DefaultRootWindow(m_display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(m_display, id, &attributes) && attributes.map_state == IsViewable) {
            auto* previous = XSetErrorHandler(ignoreErrors);
            XSetInputFocus(m_display, id, RevertToParent, CurrentTime);
            XSync(m_display, False);
            XSetErrorHandler(previous);
        }
    }
    XSync(m_display, False);
}
