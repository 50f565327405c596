#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointF>

// A picture of ours standing over the other applications on a surface the window system never
// gives the keyboard to, for the windows that appear by themselves while the user types
// elsewhere on a desktop where a window of ours would take the keyboard (Wayland). The pointer
// still reaches it unless it was made to let the pointer through: what it reports is in the
// picture's own coordinates. Main thread only.
class OverlaySurface : public QObject {
    Q_OBJECT
public:
    // Shows `image` (its device pixel ratio says how it is scaled) with its top-left corner at
    // `position` in screen coordinates, replacing what the surface showed.
    virtual void present(const QImage& image, const QPoint& position) = 0;
    // Takes it off the screen until the next picture.
    virtual void withdraw() = 0;

Q_SIGNALS:
    void pointerEntered(QPointF position);
    void pointerMoved(QPointF position);
    void pointerLeft();
    void buttonPressed(QPointF position, Qt::MouseButton button);
    void buttonReleased(QPointF position, Qt::MouseButton button);
};
