#include "Utilities/SvgIconRenderer.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

bool SvgIconRenderer::isWithinSizeLimit(const QString& svg)
{
    // Every UTF-16 unit takes at least one byte of UTF-8: long texts need no conversion.
    return svg.size() <= maxSvgBytes && svg.toUtf8().size() <= maxSvgBytes;
}

QImage SvgIconRenderer::render(const QString& svg)
{
    if (!isWithinSizeLimit(svg))
        return {};
    // Only coverage counts; black keeps icons that paint in the inherited colour visible.
    const QByteArray bytes = QString(svg).replace(QLatin1String("currentColor"), QLatin1String("#000000")).toUtf8();
    if (!isSelfContainedSvg(bytes))
        return {};
    QSvgRenderer renderer(bytes);
    if (!renderer.isValid())
        return {};
    const QRectF viewBox = renderer.viewBoxF();
    if (!(viewBox.width() > 0 && viewBox.height() > 0) || !qIsFinite(viewBox.width()) || !qIsFinite(viewBox.height()))
        return {};
    const QSize pixels = viewBox.size().scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio).toSize().expandedTo({1, 1});
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    return image.convertToFormat(QImage::Format_Alpha8);
}

bool SvgIconRenderer::isSelfContainedSvg(const QByteArray& svg)
{
    QXmlStreamReader xml(svg);
    bool sawRoot = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return false;
        case QXmlStreamReader::StartElement:
            if (!sawRoot && xml.name() != QLatin1String("svg"))
                return false;
            sawRoot = true;
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                // QtSvg reads an <image> reference as a local file path; only links within the
                // document are allowed.
                if (attribute.name() == QLatin1String("href") && !attribute.value().trimmed().startsWith(u'#'))
                    return false;
            }
            break;
        default:
            break;
        }
    }
    return sawRoot && !xml.hasError();
}
