#include "Views/Components/OverlayScrollArea.h"

#include "Views/Components/OverlayScrollBar.h"

OverlayScrollArea::OverlayScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    m_bar = new OverlayScrollBar(this);
}

void OverlayScrollArea::setContent(QWidget* content)
{
    setWidget(content);
    content->setAutoFillBackground(false);
}
