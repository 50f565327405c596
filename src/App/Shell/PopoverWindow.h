#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

// The popover's window: frameless, above other windows, without a taskbar entry, placed
// under the tray item. It hosts the popover's content and says when it closed, however that
// happened.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int popoverWidth = 340;
    static constexpr int regularHeight = 560;
    static constexpr int fullHeight = 800;
    // Space between the tray item and the popover.
    static constexpr int gap = 4;

    explicit PopoverWindow(QWidget* parent = nullptr);

    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }
    void setContentSize(const QSize& size);

    bool isShown() const { return isVisible(); }
    // Shows the popover under `anchor` (the tray item, in global coordinates), or under the
    // pointer when the anchor is empty. `activate` also gives it the keyboard.
    void showRelativeTo(const QRect& anchor, bool activate);
    // Closes the popover; nothing when it is not shown.
    void performClose();

    // Where a popover of `size` goes for `anchor` on a screen whose free area is `available`:
    // centred under the anchor, above it when there is no room below, kept on the screen.
    static QRect placement(const QRect& anchor, const QSize& size, const QRect& available);

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_content = nullptr;
    // Set between a show that should take the keyboard and the window being on screen.
    bool m_activateWhenExposed = false;
};
