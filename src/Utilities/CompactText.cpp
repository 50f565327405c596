#include "Utilities/CompactText.h"

#include <QHashFunctions>
#include <QtEndian>
#include <QStringDecoder>
#include <array>
#include <bit>
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
        return;
    }
    if (text.isValidUtf16()) {
        m_utf8 = text.toUtf8();
        m_utf8.squeeze();
        return;
    }
    // QString's own conversion would make unpaired surrogates question marks.
    m_utf8.resize(text.size() * 3);
    char* out = m_utf8.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = units[i];
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(units[i + 1]))
            c = QChar::surrogateToUcs4(char16_t(c), units[++i]);
        out = appendUtf8(out, c);
    }
    m_utf8.truncate(out - m_utf8.constData());
    m_utf8.squeeze();
}

char* CompactText::appendUtf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

namespace {

// Whether the bytes hold a surrogate's three bytes (ED A0..BF), which only text with an
// unpaired surrogate gives.
bool holdsSurrogates(const QByteArray& utf8)
{
    for (qsizetype at = utf8.indexOf('\xED'); at >= 0 && at + 1 < utf8.size(); at = utf8.indexOf('\xED', at + 1)) {
        if (uchar(utf8[at + 1]) >= 0xA0)
            return true;
    }
    return false;
}

// The lower case of the character `c`, taking `length` bytes in UTF-8 (two to four).
char32_t lowerOf(char32_t c, int length)
{
    // The lower case of the characters of two bytes, the Latin, Greek and Cyrillic letters
    // beyond ASCII, looked up rather than asked for one at a time.
    static const std::array<char16_t, 0x800> twoBytes = [] {
        std::array<char16_t, 0x800> table{};
        for (char32_t c = 0; c < table.size(); ++c)
            table[c] = char16_t(QChar::toLower(c));
        return table;
    }();
    // Kana, the CJK ideographs, Yi, Vai and Hangul have no case.
    const bool caseless = length == 3 && ((c >= 0x3040 && c < 0xA640) || (c >= 0xAC00 && c < 0xD7A4));
    return caseless ? c : length == 2 ? twoBytes[c] : QChar::toLower(c);
}

int lengthOf(uchar lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

char32_t decode(const uchar* bytes, int length)
{
    char32_t c = bytes[0] & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k)
        c = (c << 6) | (bytes[k] & 0x3F);
    return c;
}

constexpr quint64 ones = 0x0101010101010101ULL;
constexpr quint64 highs = 0x8080808080808080ULL;

// Whether the eight bytes from `at` are all ASCII.
bool eightAscii(const uchar* at)
{
    quint64 word = 0;
    std::memcpy(&word, at, sizeof word);
    return (word & highs) == 0;
}

} // namespace

QString CompactText::toString() const
{
    // QString::fromUtf8 skips a byte-order mark at the start, which here is a character of
    // the text like any other.
    if (m_utf8.startsWith("\xEF\xBB\xBF") && !holdsSurrogates(m_utf8)) {
        QStringDecoder decoder(
            QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(m_utf8);
    }
    if (!holdsSurrogates(m_utf8))
        return QString::fromUtf8(m_utf8);
    QString text;
    text.reserve(m_utf8.size());
    const auto* bytes = reinterpret_cast<const uchar*>(m_utf8.constData());
    const qsizetype size = m_utf8.size();
    for (qsizetype i = 0; i < size;) {
        const uchar lead = bytes[i];
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (i + length > size)
            break;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (bytes[i + k] & 0x3F);
        if (c < 0x10000) {
            text += QChar(char16_t(c));
        } else {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        }
        i += length;
    }
    return text;
}

CompactText CompactText::fromUtf8(QByteArray utf8)
{
    CompactText text;
    text.m_utf8 = std::move(utf8);
    return text;
}

QByteArray CompactText::loweredUtf8() const
{
    // U+0130 lowers to two characters, which only QString's conversion gives; unpaired
    // surrogates it turns into question marks. Texts with either go its way.
    const auto plainly = [this] { return toString().toLower().toUtf8(); };
    if (m_utf8.contains("\xC4\xB0") || holdsSurrogates(m_utf8))
        return plainly();
    // Lowered, nearly every text keeps its length, so it is made in bytes of that length; the
    // few characters whose lower case takes more bytes (U+023A, two bytes, lowers to U+2C65,
    // three) send their text the plain way.
    const qsizetype size = m_utf8.size();
    QByteArray lowered(size, Qt::Uninitialized);
    const auto* in = reinterpret_cast<const uchar*>(m_utf8.constData());
    char* out = lowered.data();
    for (qsizetype i = 0; i < size;) {
        // Eight ASCII bytes at a time, most of a text in a Latin script: a byte from 'A' on
        // gets its high bit from adding 0x3F, one beyond 'Z' from adding 0x25, and no sum
        // carries into the next byte. Capitals are the bytes with the first and not the second.
        quint64 word = 0;
        if (size - i >= 8 && (std::memcpy(&word, in + i, sizeof word), (word & highs) == 0)) {
            const quint64 capitals = (word + ones * 0x3F) & ~(word + ones * 0x25) & highs;
            word |= capitals >> 2;
            std::memcpy(out, &word, sizeof word);
            out += 8;
            i += 8;
            continue;
        }
        const uchar lead = in[i];
        if (lead < 0x80) {
            *out++ = char(uchar(lead - 'A') < 26 ? lead + 32 : lead);
            ++i;
            continue;
        }
        const int length = lengthOf(lead);
        const char32_t c = decode(in + i, length);
        const char32_t lower = lowerOf(c, length);
        if (lower == c) {
            std::memcpy(out, in + i, size_t(length));
            out += length;
        } else {
            char bytes[4];
            const qsizetype written = appendUtf8(bytes, lower) - bytes;
            if (written > length)
                return plainly();
            std::memcpy(out, bytes, size_t(written));
            out += written;
        }
        i += length;
    }
    lowered.truncate(out - lowered.constData());
    return lowered;
}

bool CompactText::lowersInPlace() const
{
    const auto* in = reinterpret_cast<const uchar*>(m_utf8.constData());
    const qsizetype size = m_utf8.size();
    for (qsizetype i = 0; i < size;) {
        // Past the ASCII bytes among the next eight to the first that is not.
        if (size - i >= 8) {
            const quint64 others = qFromLittleEndian<quint64>(in + i) & highs;
            i += others == 0 ? 8 : std::countr_zero(others) / 8;
            if (others == 0)
                continue;
        }
        const uchar lead = in[i];
        const int length = lengthOf(lead);
        // Every cased character beyond the first plane (emoji have no case) lowers within its
        // own block, to four bytes as well.
        if (length == 1 || length == 4) {
            i += length;
            continue;
        }
        // An unpaired surrogate, which loweredUtf8() does not keep.
        if (lead == 0xED && in[i + 1] >= 0xA0)
            return false;
        // U+0130, whose lower case is two characters (QChar's own leaves it as it is).
        const char32_t c = decode(in + i, length);
        const char32_t lower = lowerOf(c, length);
        if (c == 0x130 || lower < 0x80 || (lower < 0x800) != (length == 2))
            return false;
        i += length;
    }
    return true;
}

qsizetype CompactText::indexOfLowered(QByteArrayView needle, qsizetype from) const
{
    const auto* in = reinterpret_cast<const uchar*>(m_utf8.constData());
    const qsizetype size = m_utf8.size();
    const qsizetype m = needle.size();
    const auto* wanted = reinterpret_cast<const uchar*>(needle.data());
    const auto matchesAt = [&](qsizetype at) {
        for (qsizetype j = 0; j < m;) {
            const uchar lead = in[at + j];
            if (lead < 0x80) {
                if (uchar(uchar(lead - 'A') < 26 ? lead + 32 : lead) != wanted[j])
                    return false;
                ++j;
                continue;
            }
            const int length = lengthOf(lead);
            uchar bytes[4];
            if (j + length > m
                || appendUtf8(reinterpret_cast<char*>(bytes), lowerOf(decode(in + at + j, length), length))
                    != reinterpret_cast<char*>(bytes) + length
                || std::memcmp(bytes, wanted + j, size_t(length)) != 0)
                return false;
            j += length;
        }
        return true;
    };
    if (m == 0)
        return from <= size ? from : -1;
    // Lowered, ASCII stays ASCII and nothing else becomes ASCII in a text that lowers in
    // place, so a match begins at a character of the same kind as the needle's first.
    const bool asciiFirst = wanted[0] < 0x80;
    for (qsizetype i = from; i + m <= size;) {
        if (!asciiFirst && size - i >= 8 && eightAscii(in + i)) {
            i += 8;
            continue;
        }
        const uchar lead = in[i];
        if ((lead < 0x80) == asciiFirst && matchesAt(i))
            return i;
        i += lengthOf(lead);
    }
    return -1;
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
    return a.utf16Size() == b.size() && a.m_utf8 == CompactText(b).m_utf8;
}

size_t qHash(const CompactText& text, size_t seed)
{
    return qHash(text.utf8(), seed);
}

QDebug operator<<(QDebug debug, const CompactText& text)
{
    return debug << text.toString();
}
