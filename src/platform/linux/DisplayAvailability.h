#pragma once

#include <QString>

namespace DisplayAvailability {

// Why this process cannot show windows, as one sentence, or empty when it can. Asked before
// the application object exists, because Qt ends the process when its display is missing.
// When the display is there, the connection made to find out stays open until releaseProbe():
// an X server with the default reset policy resets when its last client leaves, and refuses
// the connections that come in meanwhile, the application's own among them.
// `commandLinePlatform` is the value of a -platform option, which Qt prefers to QT_QPA_PLATFORM.
QString missingDisplayReason(const QByteArray& commandLinePlatform = {});

// Whether the last missingDisplayReason() found the Wayland display named gone while the X
// display opened: Qt would still pick Wayland on a session that says it is one, and abort.
bool waylandDisplayGone();

// Closes the connection missingDisplayReason() left open; call once the application has
// connected itself.
void releaseProbe();

} // namespace DisplayAvailability
