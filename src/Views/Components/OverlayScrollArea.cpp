#include "Views/Components/OverlayScrollArea.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QScrollBar>

namespace {
constexpr int barWidth = 8;
}

OverlayScrollArea::OverlayScrollArea(QWidget* parent) : QScrollArea(parent), m_bar(new QScrollBar(Qt::Vertical, this))
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    m_bar->setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);

    applySlimScrollBarStyle(m_bar);
    connect(&Theme::instance(), &Theme::appearanceChanged, m_bar, [this] { applySlimScrollBarStyle(m_bar); });
    QScrollBar* own = verticalScrollBar();
    connect(own, &QScrollBar::rangeChanged, this, &OverlayScrollArea::syncBar);
    connect(own, &QScrollBar::valueChanged, m_bar, &QScrollBar::setValue);
    connect(m_bar, &QScrollBar::valueChanged, own, &QScrollBar::setValue);
    syncBar();
}

void OverlayScrollArea::setContent(QWidget* content)
{
    setWidget(content);
    content->setAutoFillBackground(false);
}

void OverlayScrollArea::setBarInsets(int top, int bottom)
{
    m_insetTop = top;
    m_insetBottom = bottom;
    placeBar();
}

void OverlayScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    placeBar();
    syncBar();
}

void OverlayScrollArea::syncBar()
{
    const QScrollBar* own = verticalScrollBar();
    m_bar->setRange(own->minimum(), own->maximum());
    // The view sets its bar's page step after announcing the range; a page is the viewport.
    m_bar->setPageStep(viewport()->height());
    m_bar->setSingleStep(own->singleStep());
    m_bar->setValue(own->value());
    m_bar->setVisible(own->maximum() > own->minimum());
    m_bar->raise();
}

void OverlayScrollArea::placeBar()
{
    m_bar->setGeometry(width() - barWidth - 1, m_insetTop, barWidth, qMax(0, height() - m_insetTop - m_insetBottom));
}
