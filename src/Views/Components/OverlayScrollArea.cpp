#include "Views/Components/OverlayScrollArea.h"

#include "Views/Components/OverlayScrollBar.h"

#include <QApplication>

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
    // Tab into the content from outside (the window's focus chain, not this area's) moves
    // the focus without scrolling; a control that gets the keyboard is brought into view
    // either way. Content taller than the view (a grid with a cursor of its own) scrolls
    // itself.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && widget() && widget()->isAncestorOf(now) && now->height() < viewport()->height())
            ensureWidgetVisible(now, 0, 12);
    });
}

void OverlayScrollArea::setContent(QWidget* content)
{
    setWidget(content);
    content->setAutoFillBackground(false);
}
