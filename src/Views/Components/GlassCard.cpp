#include "Views/Components/GlassCard.h"

#include <QPainter>

GlassCard::GlassCard(QWidget* parent)
    : QWidget(parent)
    , m_chrome(new GlassCardModifier(this))
{
}

void GlassCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_chrome->paint(painter, rect());
}

void GlassCard::enterEvent(QEnterEvent* event)
{
    m_chrome->setHovered(true);
    QWidget::enterEvent(event);
}

void GlassCard::leaveEvent(QEvent* event)
{
    m_chrome->setHovered(false);
    QWidget::leaveEvent(event);
}
