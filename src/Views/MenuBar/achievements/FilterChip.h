#pragma once

#include "Views/Components/PaintedButton.h"

// One choice of the achievements filter: a small glass capsule, brighter with full-strength
// text while it is the current choice (checked).
class FilterChip : public PaintedButton {
    Q_OBJECT
public:
    explicit FilterChip(const QString& title, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
