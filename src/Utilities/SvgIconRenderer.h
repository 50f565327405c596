#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Turns the SVG text of a folder icon into its coverage mask: an Alpha8 image whose opacity
// is the icon's shape, to be filled with the theme's text colour when drawn, whatever colours
// the SVG names. SVG arrives from uploads, imports and sync, so it is untrusted: oversized
// text, DTDs (entity expansion) and references to anything outside the document (files, the
// network, embedded images) are refused before it is parsed, and the picture is rendered at a
// bounded pixel size whatever size the SVG declares.
class SvgIconRenderer
{
public:
    static constexpr qsizetype maxSvgBytes = 512 * 1024; // UTF-8
    static constexpr int maxPixelSize = 128;             // longer side of a rendered mask

    static bool isWithinSizeLimit(const QString& svg);

    // The mask, its longer side maxPixelSize and its aspect that of the SVG's view box; a null
    // image when the text is refused or does not render.
    static QImage render(const QString& svg);

private:
    static bool isSelfContainedSvg(const QByteArray& svg);
};
