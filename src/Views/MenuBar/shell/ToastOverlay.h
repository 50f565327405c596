#pragma once

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class ToastManager;

// Draws the current toast: one line of text (wrapped only when it would not fit) in a dark
// capsule 16 pixels above the bottom edge, rising from below the edge and fading in while
// the manager shows it, and sinking away again when it hides. Lies over the whole popover
// and never takes the pointer: clicks reach the screen beneath. Each toast that comes in is
// announced to assistive technology as a notification carrying its text.
class ToastOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr int fontSize = 12;
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 9;
    static constexpr int bottomMargin = 16;
    static constexpr int sideMargin = 16;
    // How long the toast takes to leave.
    static constexpr double hideSeconds = 0.2;

    explicit ToastOverlay(ToastManager& toast, QWidget* parent = nullptr);

    // Whether the toast is shown or on its way in (false once it starts to leave).
    bool isToastShown() const { return m_shown; }
    // How far in the toast is: 0 gone, 1 fully in.
    qreal presence() const { return m_presence; }
    // The text drawn, kept while the toast leaves.
    const QString& text() const { return m_text; }
    // Where the capsule stands when fully in.
    QRect capsuleRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();
    void announce(bool shown, bool textChanged);
    QRect textRect(int availableWidth) const;

    QPointer<ToastManager> m_toast;
    QString m_text;
    bool m_shown = false;
    qreal m_presence = 0;
    QVariantAnimation m_transition;
    // Shows while a toast does: its appearing is what screen readers speak.
    QWidget* m_notification;
};
