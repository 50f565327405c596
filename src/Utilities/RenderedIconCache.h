#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>

#include <functional>

// Renders each distinct SVG text once for the life of the cache and remembers the result,
// failures included, so that a broken icon is not parsed again on every paint. Entries are
// never removed. The one lock is held across a render: a second caller asking for the same
// text waits and then gets the stored image.
class RenderedIconCache {
public:
    using Renderer = std::function<QImage(const QString& svg)>;

    explicit RenderedIconCache(Renderer renderer);

    // The rendered image, or a null image when the text does not render.
    QImage image(const QString& svg);

private:
    Renderer m_renderer;
    QMutex m_lock;
    QHash<QString, QImage> m_images; // a null image marks a text that did not render
};
