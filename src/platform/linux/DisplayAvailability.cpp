#include "platform/linux/DisplayAvailability.h"

#include "platform/linux/SessionType.h"

#include <X11/Xlib.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace DisplayAvailability {

namespace {
    Display* g_probe = nullptr;
    bool g_waylandGone = false;

    // Whether a compositor answers on the Wayland display named: a variable left over from an
    // ended session names a socket nobody listens on, and Qt aborts on it.
    bool waylandAnswers(const QByteArray& name)
    {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (!name.startsWith('/') && runtime.isEmpty())
            return false;
        const QByteArray path = name.startsWith('/') ? name : QByteArray(runtime + '/' + name);
        sockaddr_un address {};
        if (std::size_t(path.size()) >= sizeof(address.sun_path))
            return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket < 0)
            return false;
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the socket API's own type pun
        const bool answers = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        ::close(socket);
        return answers;
    }
} // namespace

QString missingDisplayReason(const QByteArray& commandLinePlatform)
{
    g_waylandGone = false;
    const QByteArray platform = commandLinePlatform.isEmpty() ? qgetenv("QT_QPA_PLATFORM") : commandLinePlatform;
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    // A platform chosen on purpose (offscreen, vnc, ...) is the caller's business.
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return {};
    const bool waylandUp = !wayland.isEmpty() && waylandAnswers(wayland);
    QString waylandMissing = QStringLiteral("Velmora cannot reach the Wayland display \u201C%1\u201D.")
                                       .arg(QString::fromLocal8Bit(wayland));
    if (platform.startsWith("wayland"))
        return waylandUp ? QString() : waylandMissing;
    // On a Wayland session Qt connects to the compositor; XWayland's display, if any, is not
    // ours to probe.
    if (platform.isEmpty() && waylandUp && SessionTypes::current() == SessionType::wayland)
        return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty() && waylandUp)
            return {};
        if (!wayland.isEmpty())
            return waylandMissing;
        return QStringLiteral("Velmora needs a graphical desktop session, and there is none here "
                              "(neither DISPLAY nor WAYLAND_DISPLAY is set).");
    }
    releaseProbe();
    g_probe = XOpenDisplay(display.constData());
    if (!g_probe)
        return QStringLiteral("Velmora cannot open the X display \u201C%1\u201D.").arg(QString::fromLocal8Bit(display));
    g_waylandGone = platform.isEmpty() && !wayland.isEmpty() && !waylandUp;
    return {};
}

bool waylandDisplayGone()
{
    return g_waylandGone;
}

void releaseProbe()
{
    if (g_probe)
        XCloseDisplay(g_probe);
    g_probe = nullptr;
}

} // namespace DisplayAvailability
