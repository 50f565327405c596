#pragma once

#include <QByteArray>

// Which kind of graphical session this process runs in. On a Wayland session the X11 back ends
// stay off even where XWayland offers an X display: that display only sees the X11 clients,
// not the user's typing into native Wayland applications, and the X11 tools it offers (RECORD,
// XTest) would reach only part of the desktop.
enum class SessionType { x11, wayland };

namespace SessionTypes {
// From XDG_SESSION_TYPE, or, when that says nothing, from whether a Wayland display is named.
SessionType current();
SessionType fromEnvironment(const QByteArray& sessionType, const QByteArray& waylandDisplay);
} // namespace SessionTypes
