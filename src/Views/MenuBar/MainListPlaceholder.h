#pragma once

#include <QWidget>

class AppState;
class ThemedLabel;

// Stands in the main screen's slot until the main list is built: the wordmark and the
// size of the library. The main list replaces it in PopoverScreens::standard().
class MainListPlaceholder : public QWidget
{
    Q_OBJECT
public:
    explicit MainListPlaceholder(AppState& appState, QWidget* parent = nullptr);

private:
    void refresh();

    AppState& m_appState;
    ThemedLabel* m_summary;
};
