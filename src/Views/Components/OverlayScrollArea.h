#pragma once

#include <QScrollArea>

class OverlayScrollBar;

// A vertical scroll view on glass: no frame, no background, no keyboard focus of its own,
// its content as wide as the view (heights for widths honoured) and an OverlayScrollBar
// over its right edge.
class OverlayScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit OverlayScrollArea(QWidget* parent = nullptr);

    // Puts `content` in the view, keeping it transparent (a scroll area fills its content
    // with the window colour otherwise).
    void setContent(QWidget* content);
    OverlayScrollBar* overlayBar() const { return m_bar; }

private:
    OverlayScrollBar* m_bar;
};
