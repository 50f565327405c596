#include "Utilities/SvgIconRenderer.h"

#include <QSvgRenderer>

QImage SvgIconRenderer::render(const QString& svg)
{
    const SvgSanitizer::Result checked = SvgSanitizer::sanitize(svg);
    if (!checked.accepted())
        return {};
    // Only coverage counts; black keeps icons that paint in the inherited colour visible.
    QSvgRenderer renderer(
        QString(checked.svg).replace(QLatin1String("currentColor"), QLatin1String("#000000")).toUtf8());
    if (!renderer.isValid())
        return {};
    return SvgSanitizer::renderCoverage(renderer, maxPixelSize);
}
