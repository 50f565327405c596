// Untrusted SVG bytes (uploads, the clipboard) go through the SVG gate: it must neither crash
// nor hang, and whatever it lets through must hold none of what it promises to remove, stay
// within the size limit, and come through a second pass unchanged.
#include "Utilities/SvgSanitizer.h"

#include "OffscreenGui.h"

#include <QXmlStreamReader>

#include <cstdint>
#include <cstdlib>

namespace {

QStringView localName(QStringView qualifiedName)
{
    return qualifiedName.mid(qualifiedName.lastIndexOf(u':') + 1);
}

bool reachesOutside(QStringView value)
{
    qsizetype at = 0;
    while ((at = value.indexOf(u"url(", at, Qt::CaseInsensitive)) >= 0) {
        at += 4;
        while (at < value.size() && (value[at].isSpace() || value[at] == u'"' || value[at] == u'\''))
            ++at;
        if (at >= value.size() || value[at] != u'#')
            return true;
    }
    return value.contains(u"@import", Qt::CaseInsensitive);
}

// Whether the cleaned document still holds something the gate removes.
bool holdsForbidden(const QString& svg)
{
    QXmlStreamReader reader(svg);
    reader.setNamespaceProcessing(false);
    bool inStyle = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction: return true;
        case QXmlStreamReader::StartElement: {
            const QStringView name = localName(reader.qualifiedName());
            for (const char16_t* active : {u"script", u"foreignObject", u"handler", u"listener"}) {
                if (name.compare(QStringView(active), Qt::CaseInsensitive) == 0)
                    return true;
            }
            inStyle = name.compare(u"style", Qt::CaseInsensitive) == 0;
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                const QStringView attributeName = localName(attribute.qualifiedName());
                if (attributeName.startsWith(u"on", Qt::CaseInsensitive))
                    return true;
                if (attributeName.compare(u"href", Qt::CaseInsensitive) == 0) {
                    if (!attribute.value().trimmed().startsWith(u'#'))
                        return true;
                } else if (reachesOutside(attribute.value())) {
                    return true;
                }
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (inStyle && reachesOutside(reader.text()))
                return true;
            break;
        case QXmlStreamReader::EndElement: inStyle = false; break;
        default: break;
        }
    }
    return reader.hasError();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    startOffscreenGui(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const SvgSanitizer::Result first
        = SvgSanitizer::sanitizeBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!first.accepted()) {
        if (!first.svg.isEmpty())
            std::abort();
        return 0;
    }
    if (!SvgSanitizer::isWithinSizeLimit(first.svg) || holdsForbidden(first.svg))
        std::abort();
    const SvgSanitizer::Result second = SvgSanitizer::sanitize(first.svg);
    if (!second.accepted() || second.svg != first.svg)
        std::abort();
    return 0;
}
