#include "SessionType.h"

namespace SessionTypes {

SessionType fromEnvironment(const QByteArray& sessionType, const QByteArray& waylandDisplay)
{
    const QByteArray type = sessionType.trimmed().toLower();
    if (type == "wayland")
        return SessionType::wayland;
    if (type == "x11")
        return SessionType::x11;
    return waylandDisplay.isEmpty() ? SessionType::x11 : SessionType::wayland;
}

SessionType current()
{
    return fromEnvironment(qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"));
}

} // namespace SessionTypes
