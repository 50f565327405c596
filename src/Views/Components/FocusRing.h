#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

// The keyboard focus ring of a widget that cannot draw it round its own visible edges: a list
// taller than the scroll area that shows it, whose rows cover its background. Lies over
// `frame` (the scroll area), takes no pointer and no keyboard, and draws the ring while
// `target` has the keyboard, reached by it.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    FocusRing(QWidget* target, QWidget* frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_target;
    // The ring as last drawn, and its colour.
    QPixmap m_ring;
    QColor m_ringColor;
};
