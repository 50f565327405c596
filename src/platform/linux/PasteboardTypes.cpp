#include "PasteboardTypes.h"

namespace PasteboardTypes {

namespace {

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

bool isMetaTarget(const QString& mimeType)
{
    for (const char* target : metaTargets) {
        if (mimeType == QLatin1String(target))
            return true;
    }
    return false;
}

std::optional<QByteArray> bytesOf(const PasteboardItem& item, const QStringList& aliases, const QString& type)
{
    for (const auto& [name, data] : item) {
        if (name == type)
            return data;
    }
    if (aliases.contains(type) && type != ClipboardFormats::utf8Text)
        return bytesOf(item, {}, ClipboardFormats::utf8Text);
    return std::nullopt;
}

}
