#include "QtClipboardPasteboard.h"

#include "PasteboardTypes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace {

const QString pngFormat = QStringLiteral("image/png");
const QString utf8TextFormat = QStringLiteral("text/plain;charset=utf-8");
const QString plainTextFormat = QStringLiteral("text/plain");
const QString qtImageFormat = QStringLiteral("application/x-qt-image");

// An owner that offers an image through Qt converts it on request into a dozen formats (BMP,
// ICO, XPM, PPM...), some of them larger than the image's PNG and all slow to make. Only the
// PNG is kept; this entry stands for the conversions, which Qt makes again from it on restore.
const QString imageConversionsFormat = QStringLiteral("application/x-velmora-image-conversions");

// Qt lists its own image type for any image offered; the X pixmap and bitmap formats next to a
// PNG are the mark of an owner that converts one image on request.
bool offersConvertedImage(const QStringList& formats)
{
    return formats.contains(qtImageFormat) && formats.contains(pngFormat)
        && formats.contains(QLatin1String("image/xpm")) && formats.contains(QLatin1String("image/bmp"));
}

bool isConversion(const QString& format)
{
    return (format.startsWith(QLatin1String("image/")) && format != pngFormat) || format == QLatin1String("BITMAP")
        || format == QLatin1String("PIXMAP");
}

} // namespace

QtClipboardPasteboard::QtClipboardPasteboard(QObject* parent)
    : QObject(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !m_writing) {
            ++m_changeCount;
            m_aliasedText = nullptr;
        }
    });
}

qint64 QtClipboardPasteboard::changeCount()
{
    return m_changeCount;
}

const QMimeData* QtClipboardPasteboard::contents() const
{
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}

QStringList QtClipboardPasteboard::formats() const
{
    QStringList result;
    if (const QMimeData* data = contents()) {
        const QStringList offered = data->formats();
        const bool converted = offersConvertedImage(offered);
        const bool aliased = data == m_aliasedText;
        for (const QString& format : offered) {
            if (PasteboardTypes::isMetaTarget(format) || (converted && isConversion(format))
                || (aliased && format == plainTextFormat))
                continue;
            result.append(format);
        }
        if (converted)
            result.append(imageConversionsFormat);
    }
    return result;
}

qsizetype QtClipboardPasteboard::itemCount()
{
    return formats().isEmpty() ? 0 : 1;
}

QStringList QtClipboardPasteboard::itemTypes(qsizetype item)
{
    return item == 0 ? types() : QStringList();
}

QStringList QtClipboardPasteboard::types()
{
    return formats();
}

std::optional<QByteArray> QtClipboardPasteboard::data(qsizetype item, const QString& type)
{
    const QString& format = type;
    const QMimeData* data = contents();
    if (item != 0 || !data || PasteboardTypes::isMetaTarget(format))
        return std::nullopt;
    if (format == imageConversionsFormat)
        return offersConvertedImage(data->formats()) ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    if (!data->formats().contains(format))
        return std::nullopt;
    return data->data(format);
}

qint64 QtClipboardPasteboard::clearContents()
{
    m_writing = true;
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    m_writing = false;
    return ++m_changeCount;
}

bool QtClipboardPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    if (items.size() > 1)
        return false;
    if (items.isEmpty())
        return true;
    auto* data = new QMimeData;
    bool convertImage = false;
    for (const auto& [type, bytes] : items.first()) {
        const QString& format = type;
        if (format == imageConversionsFormat)
            convertImage = true;
        else
            data->setData(format, bytes);
    }
    if (convertImage && data->hasFormat(pngFormat))
        data->setImageData(QImage::fromData(data->data(pngFormat), "PNG"));
    // An expansion must paste into Qt 5 and other older clients too, which ask for text/plain
    // (Qt then also offers it as UTF8_STRING, STRING and TEXT). A user's contents are put back
    // with exactly their own formats.
    m_aliasedText = nullptr;
    if (data->hasFormat(ClipboardFormats::expansionMarker) && data->hasFormat(utf8TextFormat)
        && !data->hasFormat(plainTextFormat)) {
        data->setData(plainTextFormat, data->data(utf8TextFormat));
        m_aliasedText = data;
    }
    m_writing = true;
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    m_writing = false;
    return true;
}
