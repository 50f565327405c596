#pragma once

#include "Views/Components/PaintedButton.h"

// A switch row of the settings screen: the label at the leading edge and a small switch at
// the trailing edge. The row is checkable and the whole row takes the click; what it shows
// is set by its owner from the stored preference, so a change the store refused goes back
// at once.
class SettingsToggleRow : public PaintedButton {
    Q_OBJECT
public:
    static constexpr int fixedHeight = 36;
    static constexpr QSize switchSize{30, 18};

    explicit SettingsToggleRow(const QString& label, QWidget* parent = nullptr);

    // The switch's track, on and off, in the current appearance. Off, it still stands out
    // from the card as a control's parts must (3:1); on, it is plainly another colour, and
    // the knob's colour stands out from both.
    static QColor trackColor(bool on);
    static QColor knobColor(bool on);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF switchRect() const;
};
