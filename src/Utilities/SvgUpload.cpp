#include "Utilities/SvgUpload.h"

#include "Utilities/SvgSanitizer.h"

#include <QFile>
#include <QFileInfo>

namespace {

enum class Source { file, clipboard };

QString refusalText(SvgSanitizer::Refusal refusal, Source source)
{
    switch (refusal) {
    case SvgSanitizer::Refusal::tooLarge:
        return source == Source::file ? QStringLiteral("That file is larger than 512 KB.")
                                      : QStringLiteral("The SVG on the clipboard is larger than 512 KB.");
    case SvgSanitizer::Refusal::notUtf8:
    case SvgSanitizer::Refusal::notSvg:
        return source == Source::file ? QStringLiteral("That file isn't a valid SVG.")
                                      : QStringLiteral("Clipboard doesn't contain an SVG.");
    case SvgSanitizer::Refusal::malformed: return QStringLiteral("That SVG isn't well-formed XML.");
    case SvgSanitizer::Refusal::declarations:
        return QStringLiteral("SVGs with a DOCTYPE or entity declarations aren't accepted.");
    case SvgSanitizer::Refusal::blank: return QStringLiteral("That SVG doesn't draw anything.");
    case SvgSanitizer::Refusal::notDrawable: break;
    }
    return QStringLiteral("That SVG can't be drawn.");
}

SvgUpload checked(const QString& name, QByteArrayView bytes, Source source)
{
    const SvgSanitizer::Result result = SvgSanitizer::sanitizeBytes(bytes);
    if (!result.accepted())
        return {name, {}, refusalText(*result.refusal, source)};
    return {name, result.svg, {}};
}

} // namespace

QString SvgUpload::nameForFile(const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.completeBaseName();
    // A file named only ".svg" has nothing before its extension.
    return name.isEmpty() ? info.fileName() : name;
}

SvgUpload SvgUpload::fromFile(const QString& path)
{
    const QString name = nameForFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {name, {}, QStringLiteral("Couldn't read that file: ") + file.errorString()};
    if (file.size() > SvgSanitizer::maxBytes)
        return {name, {}, refusalText(SvgSanitizer::Refusal::tooLarge, Source::file)};
    // Devices and growing files can hold more than their size says.
    const QByteArray bytes = file.read(SvgSanitizer::maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {name, {}, QStringLiteral("Couldn't read that file: ") + file.errorString()};
    return checked(name, bytes, Source::file);
}

SvgUpload SvgUpload::fromClipboard(const std::optional<QByteArray>& bytes)
{
    if (!bytes)
        return {pastedName, {}, refusalText(SvgSanitizer::Refusal::notSvg, Source::clipboard)};
    return checked(pastedName, *bytes, Source::clipboard);
}
