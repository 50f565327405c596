#pragma once

#include "Services/Achievement.h"

#include <QWidget>

// Progress towards an achievement: a thin capsule filled to current / target over the text
// "current / target". The card uses the small form, the detail sheet the large one.
class BadgeProgressBar : public QWidget {
    Q_OBJECT
public:
    enum class Style { card, sheet };

    BadgeProgressBar(const AchievementProgress& progress, Style style, QWidget* parent = nullptr);

    const AchievementProgress& progress() const { return m_progress; }
    QString text() const;
    // The filled share of the bar, 0 to 1.
    double fraction() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF barRect() const;

    AchievementProgress m_progress;
    Style m_style;
};
