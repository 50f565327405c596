#include "PasteboardTypes.h"

#include <utility>

namespace PasteboardTypes {

namespace {

    const std::pair<const char*, const char*> names[] = {
        {"public.utf8-plain-text", "text/plain;charset=utf-8"},
        {"public.html", "text/html"},
        {"public.rtf", "text/rtf"},
        {"public.png", "image/png"},
        {"public.jpeg", "image/jpeg"},
        {"public.tiff", "image/tiff"},
        {"app.velmora.temporary-expansion", "application/x-velmora-temporary-expansion"},
    };

    const char* metaTargets[] = {
        "TARGETS",
        "MULTIPLE",
        "TIMESTAMP",
        "SAVE_TARGETS",
        "DELETE",
        "INSERT_SELECTION",
        "INSERT_PROPERTY",
        // Qt lists this whenever the owner offers an image; it is Qt's own, not one of the owner's
        // targets, and written back it would announce conversions that deliver nothing.
        "application/x-qt-image",
    };

}

QString mimeType(const QString& pasteboardType)
{
    for (const auto& [pasteboard, mime] : names) {
        if (pasteboardType == QLatin1String(pasteboard))
            return QString::fromLatin1(mime);
    }
    return pasteboardType;
}

QString pasteboardType(const QString& mimeType)
{
    for (const auto& [pasteboard, mime] : names) {
        if (mimeType == QLatin1String(mime))
            return QString::fromLatin1(pasteboard);
    }
    return mimeType;
}

QString expansionMarkerMimeType()
{
    return mimeType(QStringLiteral("app.velmora.temporary-expansion"));
}

bool isMetaTarget(const QString& mimeType)
{
    for (const char* target : metaTargets) {
        if (mimeType == QLatin1String(target))
            return true;
    }
    return false;
}

}
