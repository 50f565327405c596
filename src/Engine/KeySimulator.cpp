#include "Engine/KeySimulator.h"

#include "platform/KeyboardPoster.h"

namespace KeySimulator {

bool paste(KeyboardPoster& keyboard, qint64 process)
{
    // Exactly Ctrl: a modifier the user is holding (Shift, Alt) would turn the paste into
    // another shortcut.
    return keyboard.post(process,
        {SyntheticKeyEvent{Qt::Key_V, true, Qt::ControlModifier, marker},
            SyntheticKeyEvent{Qt::Key_V, false, Qt::ControlModifier, marker}});
}

bool pasteAndGoToEnd(KeyboardPoster& keyboard, qint64 process)
{
    return keyboard.post(process,
        {SyntheticKeyEvent{Qt::Key_V, true, Qt::ControlModifier, marker},
            SyntheticKeyEvent{Qt::Key_V, false, Qt::ControlModifier, marker},
            SyntheticKeyEvent{Qt::Key_End, true, Qt::ControlModifier, marker},
            SyntheticKeyEvent{Qt::Key_End, false, Qt::ControlModifier, marker}});
}

bool pasteWithoutModifiers(KeyboardPoster& keyboard, qint64 process, bool goToEnd)
{
    QList<SyntheticKeyEvent> events{
        SyntheticKeyEvent{Qt::Key_Paste, true, {}, marker}, SyntheticKeyEvent{Qt::Key_Paste, false, {}, marker}};
    if (goToEnd)
        events << SyntheticKeyEvent{Qt::Key_End, true, {}, marker} << SyntheticKeyEvent{Qt::Key_End, false, {}, marker};
    return keyboard.post(process, events);
}

} // namespace KeySimulator
