#pragma once

#include <QList>
#include <QWidget>

class AppState;
class QHBoxLayout;
class SymbolButton;
class TextButton;
class ThemedLabel;

// The path to the open folder: a back chevron, then each folder from the top level down,
// with "›" between them. A click on a folder's name opens it; back goes one level up.
class FolderPathBar : public QWidget {
    Q_OBJECT
public:
    explicit FolderPathBar(AppState& appState, QWidget* parent = nullptr);

    // Rebuilds the path from the state's open folder.
    void refresh();
    void goBack();

    SymbolButton* backButton() const { return m_back; }
    QList<TextButton*> crumbs() const { return m_crumbs; }
    QList<ThemedLabel*> separators() const { return m_separators; }

private:
    AppState& m_appState;
    SymbolButton* m_back;
    QHBoxLayout* m_row;
    QList<TextButton*> m_crumbs;
    QList<ThemedLabel*> m_separators;
};
