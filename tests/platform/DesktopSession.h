#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What the desktop tests need from the session scripts/with-desktop.sh starts, and small tools
// to act in it as a user would.
namespace DesktopSession {

// Empty when an X display, a session bus and the accessibility bus are all there; otherwise
// the sentence a test gives when it skips.
QString missingPieces();
QString missingDisplay();

// Runs xdotool until it ends; keys go to whichever window has the keyboard, as a user's would,
// so that the RECORD stream sees them.
bool xdotool(const QStringList& arguments);

// Waits for the process's window and gives it the X input focus (there is no window manager).
bool focusWindowOf(qint64 process);
// The process's visible top-level window, 0 when it has none.
unsigned long windowOf(qint64 process);

// Keeps the event loop running until the condition holds or the time is up. The default bound is
// generous: on a loaded two-core machine a field's application can take seconds to show a focus
// change or a key, and the wait ends as soon as the condition holds.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000);
// Keeps the event loop running for that long.
void pause(int milliseconds);

// LibreOffice's arguments for a fresh profile in `folder` that starts without its tip of the day;
// empty when the profile cannot be written.
QStringList freshOfficeArguments(const QString& folder);

}
