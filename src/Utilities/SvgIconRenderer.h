#pragma once

#include "Utilities/SvgSanitizer.h"

#include <QImage>
#include <QString>

// Turns the SVG text of a folder icon into its coverage mask: an Alpha8 image whose opacity
// is the icon's shape, to be filled with the theme's text colour when drawn, whatever colours
// the SVG names. SVG arrives from uploads, imports and sync, so it is untrusted: it passes
// SvgSanitizer first (what that refuses does not render, what it removes is not drawn), and
// the picture is rendered at a bounded pixel size whatever size the SVG declares.
class SvgIconRenderer {
public:
    static constexpr qsizetype maxSvgBytes = SvgSanitizer::maxBytes; // UTF-8
    static constexpr int maxPixelSize = 128; // longer side of a rendered mask

    static bool isWithinSizeLimit(const QString& svg) { return SvgSanitizer::isWithinSizeLimit(svg); }

    // The mask, its longer side maxPixelSize and its aspect that of the SVG's view box; a null
    // image when the text is refused or does not render.
    static QImage render(const QString& svg);
};
