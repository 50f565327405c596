#include "Views/Components/FocusRing.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace {

constexpr qreal ringWidth = 1.5;
constexpr qreal ringRadius = 12;

// Where the ring runs: its outline, inset from the frame's edges.
QRectF ringRect(const QRect& frame)
{
    return QRectF(frame).adjusted(6.75, 0.75, -6.75, -0.75);
}

// The part of `frame` the ring never touches: inside its straight sides, away from its
// rounded corners (what a repaint of the rows below it, a toast's frame, asks for).
QRegion clearOfRing(const QRect& frame)
{
    const QRectF ring = ringRect(frame);
    // The pen's half width and a pixel of antialiasing on either side of the outline.
    const int margin = int(std::ceil(ringWidth / 2 + 1));
    const QRect inside = ring.toAlignedRect().adjusted(margin, margin, -margin, -margin);
    const int corner = int(std::ceil(ringRadius)) + margin;
    return QRegion(inside.adjusted(corner - margin, 0, margin - corner, 0))
        + QRegion(inside.adjusted(0, corner - margin, 0, margin - corner));
}

} // namespace

FocusRing::FocusRing(QWidget* target, QWidget* frame)
    : QWidget(frame)
    , m_target(target)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    target->installEventFilter(this);
    frame->installEventFilter(this);
    setGeometry(frame->rect());
    raise();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: update(); break;
    case QEvent::Resize:
        if (watched == parent()) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent* event)
{
    if (!showsKeyboardFocus(m_target))
        return;
    // The ring lies over the whole list: every repaint beneath it (a card, each frame of a
    // toast) reaches it, and stroking the whole outline each time costs more than drawing
    // what it covers. Where the repaint misses the ring there is nothing to draw; elsewhere
    // the outline is stroked once, into a picture kept while the frame's size and colour stay.
    if ((event->region() - clearOfRing(rect())).isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QColor color = Theme::borderSelected();
    if (m_ring.size() != size() * ratio || m_ringColor != color) {
        m_ring = QPixmap(size() * ratio);
        m_ring.setDevicePixelRatio(ratio);
        m_ring.fill(Qt::transparent);
        m_ringColor = color;
        QPainter ring(&m_ring);
        ring.setRenderHint(QPainter::Antialiasing);
        ring.setPen(QPen(color, ringWidth));
        ring.setBrush(Qt::NoBrush);
        ring.drawPath(continuousRoundedRect(ringRect(rect()), ringRadius));
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_ring);
}
