#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// The bytes of a plain PNG picture of `size`, as a profile picture server would send them.
inline QByteArray pngPicture(const QSize& size, const QColor& color = Qt::darkCyan)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
