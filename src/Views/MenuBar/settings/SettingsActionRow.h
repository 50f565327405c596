#pragma once

#include "Views/Components/PaintedButton.h"

// A tappable row of the settings screen: a symbol and a title.
// - action: secondary-coloured symbol, title, and a chevron at the trailing edge;
// - danger: symbol and title in the danger colour, no chevron;
// - quit: symbol and title in the danger colour, centred, on its own under the cards.
// The whole row takes the click.
class SettingsActionRow : public PaintedButton {
    Q_OBJECT
public:
    enum class Kind { action, danger, quit };

    static constexpr int minimumHeight = 36;

    SettingsActionRow(Kind kind, const QString& title, const QString& symbol, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    QString symbol() const { return m_symbol; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind;
    QString m_symbol;
};
