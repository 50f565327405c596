#pragma once

#include <QImage>
#include <QList>
#include <QPoint>

// A picture that moves and fades by itself over the other applications along a path given in
// advance, never taking the keyboard or the pointer, for a small decoration that animates
// after each expansion (the time-saved label). The window system moves it at each step
// without the interface thread. Main thread only.
class FloatingPicture {
public:
    struct Frame {
        // Seconds after the call.
        double at = 0;
        // Where the picture's top-left corner stands, in screen coordinates.
        QPoint position;
        double opacity = 1;
    };

    virtual ~FloatingPicture() = default;

    // Shows `picture` (its device pixel ratio says how it is scaled) at each frame in turn and
    // takes it off the screen after the last, replacing whatever was playing.
    virtual void play(const QImage& picture, const QList<Frame>& frames) = 0;
};
