#pragma once

#include <QWidget>
#include <functional>

class SymbolButton;
class ThemedLabel;

// The header row every sub-screen opens with: a round back button ("Back to shortcuts")
// and the screen's title. Made by `screenHeader`.
class ScreenHeader : public QWidget {
    Q_OBJECT
public:
    ScreenHeader(const QString& title, std::function<void()> onBack, QWidget* parent = nullptr);

    SymbolButton* backButton() const { return m_back; }
    ThemedLabel* titleLabel() const { return m_title; }

private:
    SymbolButton* m_back;
    ThemedLabel* m_title;
};
