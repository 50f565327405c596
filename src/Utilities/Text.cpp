#include "Utilities/Text.h"

#include <QHashFunctions>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace Text {

namespace {
    bool isAscii(const QString& text)
    {
        for (QChar c : text) {
            if (c.unicode() >= 0x80)
                return false;
        }
        return true;
    }
} // namespace

QString canonical(const QString& text)
{
    if (isAscii(text))
        return text;
    return text.normalized(QString::NormalizationForm_C);
}

bool equal(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    if (isAscii(a) && isAscii(b))
        return false;
    return canonical(a) == canonical(b);
}

size_t hash(const QString& text, size_t seed)
{
    // Without canonical()'s copy: the same value, and no write to the string.
    if (isAscii(text))
        return qHash(text, seed);
    return qHash(text.normalized(QString::NormalizationForm_C), seed);
}

qsizetype graphemeCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QStringList graphemes(QStringView text)
{
    QStringList out;
    if (text.isEmpty())
        return out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype start = 0;
    qsizetype end;
    while ((end = finder.toNextBoundary()) > 0) {
        out.append(text.mid(start, end - start).toString());
        start = end;
    }
    return out;
}

bool isWhitespace(char32_t c)
{
    // QChar::isSpace covers Unicode White_Space, line and paragraph separators, and the
    // C0 line breaks (LF, VT, FF, CR) and NEL.
    return QChar::isSpace(c);
}

bool containsWhitespace(QStringView text)
{
    const QList<uint> codePoints = text.toUcs4();
    return std::any_of(codePoints.begin(), codePoints.end(), [](uint c) { return isWhitespace(c); });
}

namespace {
    template <class IsSpace> QString trimmedBy(const QString& text, IsSpace isSpace)
    {
        qsizetype begin = 0;
        qsizetype end = text.size();
        while (begin < end && isSpace(text.at(begin)))
            ++begin;
        while (end > begin && isSpace(text.at(end - 1)))
            --end;
        return text.mid(begin, end - begin);
    }
} // namespace

QString trimmedOf(const QString& text, QChar c)
{
    return trimmedBy(text, [c](QChar at) { return at == c; });
}

QString trimmed(const QString& text)
{
    return trimmedBy(text, [](QChar c) { return c.isSpace(); });
}

QString trimmedOfSpaces(const QString& text)
{
    return trimmedBy(text, [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; });
}

} // namespace Text
