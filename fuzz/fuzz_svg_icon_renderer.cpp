// Untrusted SVG (uploads, imports, sync) goes through the icon renderer: it must neither
// crash nor hang, and whatever it accepts comes out within the pixel bound.
#include "Utilities/SvgIconRenderer.h"

#include "OffscreenGui.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    startOffscreenGui(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QImage mask
        = SvgIconRenderer::render(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!mask.isNull()
        && (mask.width() > SvgIconRenderer::maxPixelSize || mask.height() > SvgIconRenderer::maxPixelSize
            || mask.format() != QImage::Format_Alpha8))
        std::abort();
    return 0;
}
