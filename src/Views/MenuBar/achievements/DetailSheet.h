#pragma once

#include "Services/Achievement.h"

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <optional>

class BadgeIcon;
class BadgeProgressBar;
class SymbolButton;
class ThemedLabel;

// The card that opens over the achievements screen for one achievement: a large badge with
// its glow, the name, the tier ("LOCKED · GOLD" while locked), the description, the progress
// of a locked achievement that has some, and the unlock date. A masked (hidden, locked)
// achievement shows none of its own words and no progress. The close button calls `onClose`.
class DetailSheet : public QWidget {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 260;
    static constexpr int cornerRadius = 14;
    static constexpr int iconSize = 112;
    static constexpr int heroSide = 162;

    DetailSheet(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt,
        const std::optional<AchievementProgress>& progress, std::function<void()> onClose, QWidget* parent = nullptr);

    const Achievement& achievement() const { return m_achievement; }
    // Whether the sheet already shows this unlock date and progress.
    bool shows(const std::optional<QDateTime>& unlockedAt, const std::optional<AchievementProgress>& progress) const
    {
        return m_unlockedAt == unlockedAt && m_shownProgress == progress;
    }
    QString title() const;
    // As shown: upper case.
    QString tierLabel() const;
    QString description() const;
    QString metaLine() const;
    BadgeProgressBar* progressBlock() const { return m_progress; }
    SymbolButton* closeButton() const { return m_close; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Achievement m_achievement;
    std::optional<QDateTime> m_unlockedAt;
    std::optional<AchievementProgress> m_shownProgress;
    std::function<void()> m_onClose;
    BadgeIcon* m_hero;
    ThemedLabel* m_title;
    ThemedLabel* m_tier;
    ThemedLabel* m_description;
    BadgeProgressBar* m_progress = nullptr;
    ThemedLabel* m_meta;
    SymbolButton* m_close;
};
