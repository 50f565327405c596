#pragma once

#include "Services/Achievement.h"
#include "Utilities/Scheduler.h"

#include <QPointer>
#include <QWidget>

class QVariantAnimation;

// An achievement's orb with its symbol on top and, once unlocked, the tier's glow behind it
// and a slow bobbing (5.5 s up and down) that starts after a delay fixed per achievement, so
// that a page of badges does not move in step. Still when the desktop asks for reduced
// motion. A locked badge is drawn faded with the lock symbol.
class BadgeIcon : public QWidget {
    Q_OBJECT
public:
    static constexpr double period = 5.5;
    static constexpr double glowScale = 1.45;
    static constexpr double floatAmplitude = 0.035;

    BadgeIcon(const QString& achievementId, AchievementTier tier, const QString& icon, bool isLocked, bool isHidden,
        int size, QWidget* parent = nullptr);

    // The symbol drawn on the orb: the lock, the question mark or the icon's symbol.
    QString symbol() const;
    // The delay before the bobbing starts, in seconds (0 to 5.4945).
    double floatingDelay() const;
    // True once the delay has passed for an unlocked badge on screen.
    bool isFloating() const { return m_floating; }
    bool isAnimating() const;
    // Vertical shift of the orb now, in pixels (positive is down).
    qreal floatOffset() const;
    // Grows the badge about its centre (the card's hover).
    void setScale(qreal scale);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startFloating();
    void stopFloating();

    QString m_id;
    AchievementTier m_tier;
    QString m_icon;
    bool m_locked;
    bool m_hidden;
    int m_size;
    bool m_floating = false;
    qreal m_phase = 0; // 0 down (at rest) ... 1 up
    qreal m_scale = 1;
    ScheduledTask m_start;
    QPointer<QVariantAnimation> m_animation;
};
