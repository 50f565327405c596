#include "AtspiTextOffsets.h"

namespace AtspiTextOffsets {

namespace {

    bool splitsPair(const QString& text, qint64 utf16Offset)
    {
        return utf16Offset > 0 && utf16Offset < text.size() && text.at(utf16Offset).isLowSurrogate()
            && text.at(utf16Offset - 1).isHighSurrogate();
    }

    qint64 codePointsIn(const QString& text, qint64 utf16Length)
    {
        qint64 count = 0;
        for (qint64 i = 0; i < utf16Length; ++i) {
            if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
                ++count;
        }
        return count;
    }

}

std::optional<Unit> unitOf(const QString& prefix, qint64 length, Unit assumed)
{
    const qint64 codePoints = codePointsIn(prefix, prefix.size());
    if (codePoints == prefix.size())
        return prefix.size() == length ? std::optional(assumed) : std::nullopt;
    if (codePoints == length)
        return Unit::codePoints;
    if (prefix.size() == length)
        return Unit::utf16;
    return std::nullopt;
}

std::optional<qint64> toUtf16(const QString& prefix, qint64 offset, Unit unit)
{
    if (offset < 0)
        return std::nullopt;
    if (unit == Unit::utf16) {
        if (offset > prefix.size())
            return std::nullopt;
        return offset;
    }
    qint64 position = 0;
    for (qint64 counted = 0; counted < offset; ++counted) {
        if (position >= prefix.size())
            return std::nullopt;
        position += (prefix.at(position).isHighSurrogate() && position + 1 < prefix.size()
                        && prefix.at(position + 1).isLowSurrogate())
            ? 2
            : 1;
    }
    return position;
}

std::optional<qint64> fromUtf16(const QString& prefix, qint64 utf16Offset, Unit unit)
{
    if (utf16Offset < 0 || utf16Offset > prefix.size() || splitsPair(prefix, utf16Offset))
        return std::nullopt;
    return unit == Unit::utf16 ? utf16Offset : codePointsIn(prefix, utf16Offset);
}

}
