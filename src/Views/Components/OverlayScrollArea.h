#pragma once

#include <QScrollArea>

class QScrollBar;

// A vertical scroll view on glass whose slim scroll bar floats over the right edge of the
// content instead of taking a column of its own, so content keeps its full width and
// padding whether or not it scrolls. The bar shows only while there is something to scroll.
// The content widget resizes with the view (heights for widths are honoured).
class OverlayScrollArea : public QScrollArea
{
    Q_OBJECT
public:
    explicit OverlayScrollArea(QWidget* parent = nullptr);

    // Puts `content` in the view, keeping it transparent (a scroll area fills its content
    // with the window colour otherwise).
    void setContent(QWidget* content);
    // The bar the user sees; the view's own vertical bar stays hidden and drives it.
    QScrollBar* overlayBar() const { return m_bar; }
    // Keeps the bar this far from the top and bottom edges (rounded corners beneath).
    void setBarInsets(int top, int bottom);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncBar();
    void placeBar();

    QScrollBar* m_bar;
    int m_insetTop = 2;
    int m_insetBottom = 2;
};
