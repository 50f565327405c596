#include "Views/Components/HairlineDivider.h"

#include "Utilities/Theme.h"

#include <QPainter>

HairlineDivider::HairlineDivider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void HairlineDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor color = Theme::borderSubtle();
    color.setAlphaF(color.alphaF() * 0.5f);
    painter.fillRect(rect(), color);
}
