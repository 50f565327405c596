#include "Utilities/CompactText.h"

#include <QHashFunctions>
#include <cstring>

CompactText::CompactText(const QString& text)
{
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    char16_t seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        seen |= units[i];
    // QString's conversion to UTF-8 reserves three bytes a unit and keeps them all: exactly
    // the size is what makes this text compact. ASCII is its own UTF-8, one byte a unit.
    if (seen < 0x80) {
        m_utf8 = text.toLatin1();
    } else {
        m_utf8 = text.toUtf8();
        m_utf8.squeeze();
    }
}

CompactText CompactText::fromUtf8(QByteArray utf8)
{
    CompactText text;
    text.m_utf8 = std::move(utf8);
    return text;
}

bool CompactText::isAscii(QByteArrayView utf8)
{
    // Eight bytes at a time: library texts run to thousands of characters.
    const char* at = utf8.data();
    const char* end = at + utf8.size();
    for (; end - at >= 8; at += 8) {
        quint64 word = 0;
        std::memcpy(&word, at, sizeof word);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; at < end; ++at) {
        if (uchar(*at) >= 0x80)
            return false;
    }
    return true;
}

qsizetype CompactText::utf16Size(QByteArrayView utf8)
{
    // Every character starts with a byte that is not a continuation byte (10xxxxxx); those
    // of four bytes (11110xxx) lie outside the first plane and take two UTF-16 units.
    qsizetype units = 0;
    for (const char c : utf8) {
        const uchar byte = uchar(c);
        units += (byte & 0xC0) != 0x80;
        units += byte >= 0xF0;
    }
    return units;
}

bool operator==(const CompactText& a, const QString& b)
{
    // A UTF-16 unit takes one to three bytes, so most unequal lengths need no conversion.
    const qsizetype bytes = a.m_utf8.size();
    if (bytes < b.size() || bytes > 3 * b.size())
        return false;
    return a.utf16Size() == b.size() && a.m_utf8 == b.toUtf8();
}

size_t qHash(const CompactText& text, size_t seed)
{
    return qHash(text.utf8(), seed);
}

QDebug operator<<(QDebug debug, const CompactText& text)
{
    return debug << text.toString();
}
