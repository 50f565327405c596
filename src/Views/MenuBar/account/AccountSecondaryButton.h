#pragma once

#include "Views/Components/PaintedButton.h"

// The account screens' plain text button: the title centred across the whole width with
// room above and below, all of it clickable, no chrome. Drawn at 0.75 opacity while pressed.
class AccountSecondaryButton : public PaintedButton {
    Q_OBJECT
public:
    explicit AccountSecondaryButton(const QString& title, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
