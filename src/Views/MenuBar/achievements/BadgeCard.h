#pragma once

#include "Services/Achievement.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <optional>

class BadgeIcon;
class BadgeProgressBar;
class QVariantAnimation;
class ThemedLabel;

// One cell of the achievements grid: the badge, the name (or "???" while a hidden one is
// locked) and one status line: the progress of a locked achievement that has some, else
// "Received <date>", "Locked" or "Hidden". The description is its tooltip; the badge grows
// a little under the pointer. A click anywhere on it emits `clicked`, as Return or Space do
// once Tab has given it the keyboard.
class BadgeCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int iconSize = 120;
    // The icon's height, in icon sizes: the orb, its float and a thin halo.
    static constexpr double haloHeight = 1.2;
    static constexpr qreal hoverScale = 1.02;

    BadgeCard(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt,
        const std::optional<AchievementProgress>& progress, QWidget* parent = nullptr);

    const Achievement& achievement() const { return m_achievement; }
    bool isLocked() const { return !m_unlockedAt; }
    QString title() const;
    // The status text, empty while the progress bar stands in its place.
    QString statusText() const;
    BadgeProgressBar* progressBar() const { return m_progressBar; }
    BadgeIcon* icon() const { return m_icon; }
    bool isHovered() const { return m_hovered; }

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setHovered(bool hovered);

    Achievement m_achievement;
    std::optional<QDateTime> m_unlockedAt;
    BadgeIcon* m_icon;
    ThemedLabel* m_title;
    ThemedLabel* m_status = nullptr;
    BadgeProgressBar* m_progressBar = nullptr;
    bool m_hovered = false;
    bool m_pressed = false;
    QPointer<QVariantAnimation> m_hoverAnimation;
};
