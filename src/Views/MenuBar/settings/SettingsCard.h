#pragma once

#include <QWidget>

class QVBoxLayout;

// The rounded glass card that holds the rows of one settings section, with a hairline
// between each two rows.
class SettingsCard : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 14;

    explicit SettingsCard(QWidget* parent = nullptr);

    // Appends `row`, after a divider unless it is the first.
    void addRow(QWidget* row);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_rows;
};
