#pragma once

#include <QWidget>
#include <optional>

// A small floating panel of the tutorial that stands over the user's other applications
// without taking the keyboard from them: frameless (so without the window system's close
// button), on top, never activated, a rounded glass card that can be moved by dragging it
// anywhere on its background.
class TutorialPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 14;

    explicit TutorialPanel(const QSize& size, QWidget* parent = nullptr);

Q_SIGNALS:
    // The window system asked the panel to close (a keyboard shortcut of the desktop, a
    // task switcher); the panel hides.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<QPoint> m_dragOffset;
};
