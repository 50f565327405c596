#pragma once

#include <QAbstractButton>

class QPainter;

// Base of the small buttons that draw themselves (tabs, chips, glass buttons): they light up
// under the pointer, repaint when the appearance changes, and `beginPaint` readies their
// painter, antialiased and at 0.75 opacity while the button is held down.
class PaintedButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr qreal pressedOpacity = 0.75;

    // `title` is also the name assistive technology reads.
    PaintedButton(const QString& title, QWidget* parent);

protected:
    void beginPaint(QPainter& painter) const;
};
