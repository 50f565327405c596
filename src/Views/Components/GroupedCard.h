#pragma once

#include <QWidget>

class QVBoxLayout;

// Rows grouped on one glass card with a 10-pixel rounded outline, a hairline between rows
// that starts at the rows' text inset: the cards of the statistics and achievements screens.
class GroupedCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int radius = 10;
    static constexpr int dividerInset = 14;

    explicit GroupedCard(QWidget* parent = nullptr);

    // Appends `row`, after a divider when the card already holds one.
    void addRow(QWidget* row);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_layout;
    int m_rows = 0;
};
