#include "platform/linux/X11WindowEffects.h"

#include <QByteArray>
#include <QWindow>

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
