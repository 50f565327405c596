#include "platform/linux/DisplayAvailability.h"

#include "platform/linux/SessionType.h"

#include <X11/Xlib.h>

namespace DisplayAvailability {

namespace {
    Display* g_probe = nullptr;
} // namespace

QString missingDisplayReason()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // A platform chosen on purpose (offscreen, wayland, vnc, ...) is the caller's business.
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return {};
    // On a Wayland session Qt connects to the compositor; XWayland's display, if any, is not
    // ours to probe.
    if (platform.isEmpty() && SessionTypes::current() == SessionType::wayland && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return {};
        return QStringLiteral("Velmora needs a graphical desktop session, and there is none here "
                              "(neither DISPLAY nor WAYLAND_DISPLAY is set).");
    }
    releaseProbe();
    g_probe = XOpenDisplay(display.constData());
    if (!g_probe)
        return QStringLiteral("Velmora cannot open the X display \u201C%1\u201D.").arg(QString::fromLocal8Bit(display));
    return {};
}

void releaseProbe()
{
    if (g_probe)
        XCloseDisplay(g_probe);
    g_probe = nullptr;
}

} // namespace DisplayAvailability
