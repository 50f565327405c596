#pragma once

#include "Services/AchievementListing.h"
#include "Views/MenuBar/screen/ScreenBinding.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class AppState;
class BadgeCard;
class DetailOverlay;
class DetailSheet;
class FilterChip;
class OverlayScrollArea;
class ThemedLabel;

// The popover's achievements screen: how many of the catalog are unlocked, the filter chips
// (All, Unlocked, Locked; the choice is kept in the preferences), one section of badge cards
// per category and the five newest unlocks. A card opens its detail sheet over the dimmed
// screen; Escape, a click on the dimmed page or the sheet's close button closes it. Only the
// statistics' unlock dates count: an achievement that is earned but not yet stamped shows
// as locked.
class AchievementsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int recentLimit = 5;

    AchievementsView(AppState& state, ScreenBinding screen, QWidget* parent = nullptr);

    AchievementListing::Filter filter() const;
    // The chip's action: shows `filter` and stores it.
    void chooseFilter(AchievementListing::Filter filter);

    void openDetail(const Achievement& achievement);
    void closeDetail();
    // The achievement whose sheet is open.
    std::optional<QString> detailId() const;
    DetailSheet* detailSheet() const;

    QString summaryText() const;
    QList<FilterChip*> chips() const { return m_chips; }
    QList<BadgeCard*> cards() const;
    QStringList sectionTitles() const { return m_sectionTitles; }
    // The names of the "Recently unlocked" rows, newest first.
    QStringList recentNames() const { return m_recentNames; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    QWidget* buildContent();
    QWidget* buildRecentList(const QList<AchievementListing::Unlock>& recent);
    void refreshDetail();
    DetailSheet* makeSheet(const Achievement& achievement);

    AppState& m_state;
    ScreenBinding m_screen;
    OverlayScrollArea* m_scroll;
    QPointer<QWidget> m_content;
    ThemedLabel* m_summary = nullptr;
    QList<FilterChip*> m_chips;
    QStringList m_sectionTitles;
    QStringList m_recentNames;
    std::optional<QString> m_detailId;
    QPointer<DetailOverlay> m_overlay;
};
