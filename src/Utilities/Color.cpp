#include "Utilities/Color.h"

#include <algorithm>
#include <cmath>

namespace {
int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool allHex(QStringView text)
{
    for (QChar c : text) {
        if (hexDigit(c) < 0)
            return false;
    }
    return true;
}
} // namespace

QColor colorFromHex(QStringView text)
{
    while (text.startsWith(u'#'))
        text = text.mid(1);
    while (text.endsWith(u'#'))
        text = text.chopped(1);

    if (text.size() == 3 && allHex(text)) {
        const int r = hexDigit(text[0]), g = hexDigit(text[1]), b = hexDigit(text[2]);
        return QColor(r * 17, g * 17, b * 17);
    }
    if (text.size() == 8 && allHex(text)) {
        quint32 value = 0;
        for (QChar c : text)
            value = (value << 4) | quint32(hexDigit(c));
        return QColor((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }

    // As the platform's hexadecimal scanner: skip white space, accept 0x, read digits.
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') && i + 2 < text.size()
        && hexDigit(text[i + 2]) >= 0)
        i += 2;
    // Only the low 24 bits matter, so keep no more than that: no overflow on long input.
    quint32 value = 0;
    for (; i < text.size(); ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0)
            break;
        value = ((value << 4) | quint32(d)) & 0xFFFFFFu;
    }
    return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

QColor composited(const QColor& over, const QColor& under)
{
    const float alpha = over.alphaF();
    const auto mix = [alpha](float top, float bottom) { return top * alpha + bottom * (1 - alpha); };
    return QColor::fromRgbF(
        mix(over.redF(), under.redF()), mix(over.greenF(), under.greenF()), mix(over.blueF(), under.blueF()));
}

namespace {

double relativeLuminance(const QColor& color)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

} // namespace

double contrastRatio(const QColor& first, const QColor& second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}
