#pragma once

#include "Views/MenuBar/screen/ScreenBinding.h"

#include <QWidget>

class AppState;
class GroupedCard;
class ThemedLabel;

// The popover's statistics screen: the time saved as a headline, the counts of use and of
// the library, how many achievements are unlocked and the latest one, and how time saved is
// estimated. Read-only; every figure follows the state as it changes.
class StatsView : public QWidget {
    Q_OBJECT
public:
    // The note under "How we calculate".
    static QString calculationNote();
    static QString citation();

    StatsView(AppState& state, ScreenBinding screen, QWidget* parent = nullptr);

    QString headline() const;
    // The value shown in the row labelled `label` ("Expansions", "Unlocked", "Latest", ...);
    // for "Latest" the name and the relative date separated by a space, or "—".
    QString rowValue(const QString& label) const;

private:
    void refresh();
    ThemedLabel* addRow(GroupedCard* card, const QString& label);

    AppState& m_state;
    ScreenBinding m_screen;
    ThemedLabel* m_headline;
    ThemedLabel* m_expansions;
    ThemedLabel* m_shortcuts;
    ThemedLabel* m_folders;
    ThemedLabel* m_icons;
    ThemedLabel* m_unlocked;
    ThemedLabel* m_latestName;
    ThemedLabel* m_latestDate;
};
