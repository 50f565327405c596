#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>

class QAbstractScrollArea;
class QScrollBar;

// A slim scroll handle that floats over the right edge of a scroll area instead of taking
// width from its content, so the cards keep their margins whether the list scrolls or not.
// It drives the area's own vertical scroll bar, which stays hidden; dragging the handle
// scrolls, a click on the track pages. Shown only while there is something to scroll.
class OverlayScrollBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int trackWidth = 10;

    explicit OverlayScrollBar(QAbstractScrollArea* area);

    // Where the handle is drawn, in this widget's coordinates.
    QRectF handleRect() const;

    // Keeps the handle this far from the area's top and bottom edges (3 each by default),
    // clear of rounded corners.
    void setEndInsets(qreal top, qreal bottom);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void place();
    void follow();
    QRectF track() const;

    QPointer<QAbstractScrollArea> m_area;
    // Compared by address only: the area may already be a plain QObject in its destructor.
    const QObject* m_watched;
    QScrollBar* m_bar;
    qreal m_topInset = 3;
    qreal m_bottomInset = 3;
    bool m_hovered = false;
    std::optional<qreal> m_grabOffset;
};
