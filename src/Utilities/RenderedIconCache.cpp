#include "Utilities/RenderedIconCache.h"

#include <QMutexLocker>

RenderedIconCache::RenderedIconCache(Renderer renderer)
    : m_renderer(std::move(renderer))
{
}

QImage RenderedIconCache::image(const QString& svg)
{
    const QMutexLocker locker(&m_lock);
    const auto found = m_images.constFind(svg);
    if (found != m_images.constEnd())
        return *found;
    QImage rendered = m_renderer(svg);
    m_images.insert(svg, rendered);
    return rendered;
}
