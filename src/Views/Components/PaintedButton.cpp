#include "Views/Components/PaintedButton.h"

#include "Utilities/Theme.h"

#include <QPainter>

PaintedButton::PaintedButton(const QString& title, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(title);
    setAccessibleName(title);
    setAttribute(Qt::WA_Hover);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void PaintedButton::beginPaint(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(pressedOpacity);
}
