#include "Views/Components/OverlayScrollBar.h"

#include "Utilities/Theme.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr qreal minimumHandle = 28;

} // namespace

OverlayScrollBar::OverlayScrollBar(QAbstractScrollArea* area)
    : QWidget(area)
    , m_area(area)
    , m_watched(area)
    , m_bar(area->verticalScrollBar())
{
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->installEventFilter(this);
    connect(m_bar, &QScrollBar::rangeChanged, this, &OverlayScrollBar::follow);
    connect(m_bar, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    place();
    follow();
}

bool OverlayScrollBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watched && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        place();
    return QWidget::eventFilter(watched, event);
}

void OverlayScrollBar::place()
{
    if (!m_area)
        return;
    setGeometry(m_area->width() - trackWidth, 0, trackWidth, m_area->height());
    raise();
}

void OverlayScrollBar::follow()
{
    setVisible(m_bar->maximum() > m_bar->minimum());
    update();
}

void OverlayScrollBar::setEndInsets(qreal top, qreal bottom)
{
    m_topInset = top;
    m_bottomInset = bottom;
    update();
}

QRectF OverlayScrollBar::track() const
{
    return QRectF(0, m_topInset, width(), height() - m_topInset - m_bottomInset);
}

QRectF OverlayScrollBar::handleRect() const
{
    const QRectF area = track();
    const qreal range = m_bar->maximum() - m_bar->minimum();
    if (range <= 0)
        return {};
    const qreal length
        = std::clamp(area.height() * m_bar->pageStep() / (range + m_bar->pageStep()), minimumHandle, area.height());
    const qreal top = area.top() + (m_bar->value() - m_bar->minimum()) / range * (area.height() - length);
    const qreal thickness = m_hovered || m_grabOffset ? 8 : 6;
    return QRectF(width() - thickness - 2, top, thickness, length);
}

void OverlayScrollBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ink = Theme::text();
    ink.setAlphaF(m_hovered || m_grabOffset ? 0.38f : 0.24f);
    const QRectF handle = handleRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(handle, handle.width() / 2, handle.width() / 2);
}

void OverlayScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QRectF handle = handleRect();
    if (handle.adjusted(-4, 0, 4, 0).contains(event->position())) {
        m_grabOffset = event->position().y() - handle.top();
        update();
        return;
    }
    m_bar->triggerAction(
        event->position().y() < handle.top() ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
}

void OverlayScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_grabOffset)
        return;
    const QRectF area = track();
    const qreal length = handleRect().height();
    const qreal travel = area.height() - length;
    if (travel <= 0)
        return;
    const qreal fraction = std::clamp((event->position().y() - *m_grabOffset - area.top()) / travel, 0.0, 1.0);
    m_bar->setValue(m_bar->minimum() + qRound(fraction * (m_bar->maximum() - m_bar->minimum())));
}

void OverlayScrollBar::mouseReleaseEvent(QMouseEvent*)
{
    m_grabOffset.reset();
    update();
}

void OverlayScrollBar::wheelEvent(QWheelEvent* event)
{
    QApplication::sendEvent(m_bar, event);
}

void OverlayScrollBar::enterEvent(QEnterEvent*)
{
    m_hovered = true;
    update();
}

void OverlayScrollBar::leaveEvent(QEvent*)
{
    m_hovered = false;
    update();
}
