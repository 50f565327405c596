#pragma once

#include <QWidget>

class AppState;
class QLineEdit;
class SymbolButton;
class SymbolLabel;

// The capsule search field over the main list, bound to the library search text: every
// keystroke filters the list at once. A clear button shows while there is text.
class SearchBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 36;

    explicit SearchBar(AppState& appState, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    SymbolButton* clearButton() const { return m_clear; }
    // Gives the field the keyboard focus.
    void focusField();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void applyColors();

    AppState& m_appState;
    SymbolLabel* m_glass;
    QLineEdit* m_field;
    SymbolButton* m_clear;
};
