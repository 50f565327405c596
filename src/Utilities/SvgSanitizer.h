#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <optional>

// The one gate for SVG text from outside the program: uploads, pasted text, imported and
// synced libraries. An icon is drawn, never run, so anything that could act or reach out is
// taken away, and a document that could make the parser or the renderer misbehave is
// refused:
// - refused: more than maxBytes of UTF-8, bytes that are not UTF-8, text that is not XML
//   with an `svg` root, XML that is not well formed, a DOCTYPE (and with it every entity
//   declaration), elements nested deeper than maxDepth, a document the SVG renderer does
//   not accept or that has no area to draw in, and one that, once cleaned, draws nothing;
// - removed: scripts, `foreignObject` and event-handler elements, event attributes (on...),
//   links to anything but a "#id" of the document itself, `url(...)` values and style sheets
//   that point outside it, and animations that could set such a link; comments and
//   processing instructions go too.
// The result is the document written out again without what was removed; sanitizing it a
// second time gives the same text.
class QSvgRenderer;

class SvgSanitizer {
public:
    static constexpr qsizetype maxBytes = 512 * 1024;
    static constexpr int maxDepth = 64;

    enum class Refusal { tooLarge, notUtf8, notSvg, malformed, declarations, notDrawable, blank };

    struct Result {
        QString svg; // the cleaned document; empty when refused
        std::optional<Refusal> refusal;

        bool accepted() const { return !refusal.has_value(); }
    };

    // `utf8` is the document's bytes as read from a file or the clipboard.
    static Result sanitizeBytes(QByteArrayView utf8);
    static Result sanitize(const QString& text);

    // Counted in UTF-8 bytes, as the text is stored.
    static bool isWithinSizeLimit(const QString& text);

    // What `renderer` draws, as opacity only (Alpha8), its longer side `longerSide` pixels and
    // its aspect that of the view box. The view box must have an area.
    static QImage renderCoverage(QSvgRenderer& renderer, int longerSide);

private:
    static Result rewrite(const QString& text);
};
