#include "Views/Components/ScaleFadeEffect.h"

#include <QPainter>

ScaleFadeEffect::ScaleFadeEffect(qreal startScale, QObject* parent)
    : QGraphicsEffect(parent)
    , m_startScale(startScale)
{
}

void ScaleFadeEffect::setProgress(qreal progress)
{
    m_progress = progress;
    update();
}

void ScaleFadeEffect::draw(QPainter* painter)
{
    if (m_progress >= 1) {
        drawSource(painter);
        return;
    }
    if (m_progress <= 0)
        return;
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    const QRectF bounds(offset, source.deviceIndependentSize());
    const qreal scale = m_startScale + (1 - m_startScale) * m_progress;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * m_progress);
    painter->translate(bounds.center());
    painter->scale(scale, scale);
    painter->translate(-bounds.center());
    painter->drawPixmap(offset, source);
    painter->restore();
}
