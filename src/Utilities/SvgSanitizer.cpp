#include "Utilities/SvgSanitizer.h"

#include <QImage>
#include <QPainter>
#include <QStringDecoder>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtMath>

#include <algorithm>

namespace {

// Names are compared without their prefix: `svg:script` is as much a script as `script`.
QStringView localName(QStringView qualifiedName)
{
    return qualifiedName.mid(qualifiedName.lastIndexOf(u':') + 1);
}

bool isNamed(QStringView name, QLatin1StringView wanted)
{
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

// A `url(...)` whose target is not a "#id" of this document, or a style sheet import.
bool reachesOutside(QStringView value)
{
    if (value.contains(QLatin1StringView("@import"), Qt::CaseInsensitive))
        return true;
    qsizetype at = 0;
    while ((at = value.indexOf(QLatin1StringView("url("), at, Qt::CaseInsensitive)) >= 0) {
        at += 4;
        while (at < value.size() && (value[at].isSpace() || value[at] == u'"' || value[at] == u'\''))
            ++at;
        if (at >= value.size() || value[at] != u'#')
            return true;
    }
    return false;
}

bool isLink(const QXmlStreamAttribute& attribute)
{
    return isNamed(localName(attribute.qualifiedName()), QLatin1StringView("href"));
}

bool keepsAttribute(const QXmlStreamAttribute& attribute)
{
    if (localName(attribute.qualifiedName()).startsWith(QLatin1StringView("on"), Qt::CaseInsensitive))
        return false;
    if (isLink(attribute))
        return attribute.value().trimmed().startsWith(u'#');
    return !reachesOutside(attribute.value());
}

// Elements that go with everything inside them.
bool dropsElement(QStringView name, const QXmlStreamAttributes& attributes)
{
    for (const char* active : {"script", "foreignObject", "handler", "listener"}) {
        if (isNamed(name, QLatin1StringView(active)))
            return true;
    }
    // An animation of a link would put back what the attribute check took away.
    if (isNamed(name, QLatin1StringView("set")) || isNamed(name, QLatin1StringView("animate"))) {
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (isNamed(localName(attribute.qualifiedName()), QLatin1StringView("attributeName"))
                && isNamed(localName(attribute.value().trimmed()), QLatin1StringView("href")))
                return true;
        }
    }
    return false;
}

void writeStart(QXmlStreamWriter& writer, QStringView qualifiedName, const QXmlStreamAttributes& attributes)
{
    writer.writeStartElement(qualifiedName.toString());
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (keepsAttribute(attribute))
            writer.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
    }
}

std::optional<SvgSanitizer::Refusal> drawingRefusal(const QString& svg)
{
    QSvgRenderer renderer(svg.toUtf8());
    const QRectF box = renderer.viewBoxF();
    if (!renderer.isValid() || !(box.width() > 0 && box.height() > 0) || !qIsFinite(box.width())
        || !qIsFinite(box.height()))
        return SvgSanitizer::Refusal::notDrawable;
    // A small rendering tells whether anything is left to see, such as when the only content
    // was an image from outside.
    const QImage probe = SvgSanitizer::renderCoverage(renderer, 32);
    for (int y = 0; y < probe.height(); ++y) {
        const uchar* line = probe.constScanLine(y);
        if (std::any_of(line, line + probe.width(), [](uchar alpha) { return alpha != 0; }))
            return std::nullopt;
    }
    return SvgSanitizer::Refusal::blank;
}

} // namespace

QImage SvgSanitizer::renderCoverage(QSvgRenderer& renderer, int longerSide)
{
    const QSize pixels
        = renderer.viewBoxF().size().scaled(longerSide, longerSide, Qt::KeepAspectRatio).toSize().expandedTo({1, 1});
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    return image.convertToFormat(QImage::Format_Alpha8);
}

bool SvgSanitizer::isWithinSizeLimit(const QString& text)
{
    // Every UTF-16 unit takes at least one byte of UTF-8: long texts need no conversion.
    return text.size() <= maxBytes && text.toUtf8().size() <= maxBytes;
}

SvgSanitizer::Result SvgSanitizer::sanitizeBytes(QByteArrayView utf8)
{
    if (utf8.size() > maxBytes)
        return {{}, Refusal::tooLarge};
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(utf8);
    if (decoder.hasError())
        return {{}, Refusal::notUtf8};
    return rewrite(text);
}

SvgSanitizer::Result SvgSanitizer::sanitize(const QString& text)
{
    if (!isWithinSizeLimit(text))
        return {{}, Refusal::tooLarge};
    return rewrite(text);
}

SvgSanitizer::Result SvgSanitizer::rewrite(const QString& text)
{
    QXmlStreamReader reader(text);
    // Prefixes are kept as written: hand-written icons often use xlink:href without declaring
    // the prefix, and the renderer accepts them.
    reader.setNamespaceProcessing(false);
    QString cleaned;
    QXmlStreamWriter writer(&cleaned);
    bool sawRoot = false;
    int depth = 0;
    int droppedAt = 0; // depth of the element being dropped; 0 while none is
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference: return {{}, Refusal::declarations};
        case QXmlStreamReader::StartElement: {
            const QStringView name = localName(reader.qualifiedName());
            if (!sawRoot && name != u"svg")
                return {{}, Refusal::notSvg};
            sawRoot = true;
            // The renderer walks the tree recursively; a deep one would exhaust its stack.
            if (++depth > maxDepth)
                return {{}, Refusal::notDrawable};
            if (droppedAt != 0)
                break;
            if (dropsElement(name, reader.attributes())) {
                droppedAt = depth;
                break;
            }
            if (isNamed(name, QLatin1StringView("style"))) {
                const QString qualifiedName = reader.qualifiedName().toString();
                const QXmlStreamAttributes attributes = reader.attributes();
                const QString sheet = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth;
                if (reader.hasError() || reachesOutside(sheet))
                    break;
                writeStart(writer, qualifiedName, attributes);
                writer.writeCharacters(sheet);
                writer.writeEndElement();
                break;
            }
            writeStart(writer, reader.qualifiedName(), reader.attributes());
            break;
        }
        case QXmlStreamReader::EndElement:
            if (droppedAt == 0)
                writer.writeEndElement();
            else if (droppedAt == depth)
                droppedAt = 0;
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (depth > 0 && droppedAt == 0)
                writer.writeCharacters(reader.text().toString());
            break;
        default: // the XML declaration, comments and processing instructions
            break;
        }
    }
    // Text that never opened an svg element is no SVG at all; one that did and then broke
    // is a damaged SVG.
    if (reader.hasError() || !sawRoot)
        return {{}, sawRoot ? Refusal::malformed : Refusal::notSvg};
    if (!isWithinSizeLimit(cleaned))
        return {{}, Refusal::tooLarge};
    if (const std::optional<Refusal> refusal = drawingRefusal(cleaned))
        return {{}, *refusal};
    return {cleaned, std::nullopt};
}
