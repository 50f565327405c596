// Untrusted SVG (uploads, imports, sync) goes through the icon renderer: it must neither
// crash nor hang, and whatever it accepts comes out within the pixel bound.
#include "Utilities/SvgIconRenderer.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg*=false"));
    // Text elements need the font database, which needs a GUI application. It lives until the
    // process ends, with the font caches it holds.
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QImage mask = SvgIconRenderer::render(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!mask.isNull()
        && (mask.width() > SvgIconRenderer::maxPixelSize || mask.height() > SvgIconRenderer::maxPixelSize
            || mask.format() != QImage::Format_Alpha8))
        std::abort();
    return 0;
}
