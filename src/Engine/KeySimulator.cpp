#include "Engine/KeySimulator.h"

#include "platform/InputEvent.h"
#include "platform/KeyboardPoster.h"

namespace KeySimulator {

bool paste(KeyboardPoster& keyboard, qint64 process)
{
    // Exactly Command: a modifier the user is holding (Shift, Alt) would turn the paste
    // into another shortcut.
    return keyboard.post(process, {SyntheticKeyEvent{VirtualKey::v, true, EventFlags::command, marker}, SyntheticKeyEvent{VirtualKey::v, false, EventFlags::command, marker}});
}

} // namespace KeySimulator
