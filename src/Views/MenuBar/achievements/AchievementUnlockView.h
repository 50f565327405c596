#pragma once

#include "Services/Achievement.h"
#include "Utilities/Scheduler.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QWidget>
#include <functional>

class QPainter;
class QVariantAnimation;

// One unlock banner: a dark card with the achievement's orb, its name and "ACHIEVEMENT
// UNLOCKED". It slides in showing the orb locked, unlocks after `lockHold`, and asks to be
// dismissed `lockHold + unlockedHold` after it appeared. The pointer resting on it holds it;
// leaving gives it `unlockedHold` more. A click opens the achievements screen and dismisses
// it at once.
//
// A banner is dismissed once: the first request (timer, click or leave) stops its timers and
// calls `onDismiss`; every later request is ignored, so the presenter never fades it twice
// or skips a queued banner.
class AchievementUnlockView : public QWidget {
    Q_OBJECT
public:
    enum class Phase { locked, unlocked };

    static constexpr int panelWidth = 180;
    static constexpr int panelHeight = 200;
    static constexpr double lockHold = 0.6;
    static constexpr double unlockedHold = 3.0;

    AchievementUnlockView(const Achievement& achievement, std::function<void()> onDismiss, QWidget* parent = nullptr);
    void setOnDismiss(std::function<void()> onDismiss) { m_onDismiss = std::move(onDismiss); }

    const Achievement& achievement() const { return m_achievement; }
    Phase phase() const { return m_phase; }
    bool isDismissed() const { return m_dismissed; }
    bool hasPendingDismiss() const { return m_pendingDismiss.isPending(); }

    // The timeline from the moment it is on screen.
    void start();
    void scheduleDismiss(double seconds);
    void cancelDismiss();
    void dismiss();
    // The second step of the timeline: the orb takes its colours and the lock becomes the
    // achievement's symbol.
    void unlock();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Where the parts of the banner stand.
    struct Layout {
        QRectF card;
        QPointF orbCentre;
        QRectF name;
        QRectF note;
        QFont nameFont;
        QFont noteFont;
    };
    // The parts that stay as they are while the banner moves, drawn once for its size, pixel
    // ratio and card colour: the card with its texts (and the locked orb, while locked), the
    // glow and the unlocked orb.
    struct Layers {
        qreal pixelRatio = 0;
        QColor cardColor;
        QSize size;
        Layout layout;
        QPixmap card;
        QPixmap locked;
        QPixmap glow;
        QPixmap orb;
        // The unlocked symbol at its full size, in white.
        QPixmap symbol;
    };
    // What a frame shows, in whole pixels and shades of 255: the slide's offset and opacity,
    // the glow's and the symbol's opacity, the symbol's side. Frames that look the same are
    // not drawn again.
    struct Look {
        int offset = 0;
        int opacity = 0;
        int glow = 0;
        int ink = 0;
        int symbolSide = 0;
        bool operator==(const Look&) const = default;
    };
    Look look() const;
    int symbolSide() const;
    Layout layout() const;
    // Where the glow, the orb and its symbol are drawn.
    static QRect glowArea(const Layout& layout);
    void updateOrb();
    // `paint` drawn into a picture of `area` alone.
    QPixmap drawn(const QRect& area, qreal pixelRatio, const std::function<void(QPainter&)>& paint) const;

    QVariantAnimation* animate(double seconds, const QEasingCurve& curve, const std::function<void(qreal)>& apply);

    Achievement m_achievement;
    std::function<void()> m_onDismiss;
    Phase m_phase = Phase::locked;
    bool m_dismissed = false;
    bool m_pressed = false;
    qreal m_slide = 0; // 0 before the entrance, 1 in place
    qreal m_unlock = 0; // 0 locked look, 1 unlocked look
    ScheduledTask m_pendingDismiss;
    ScheduledTask m_pendingUnlock;
    Layers m_layers;
};
