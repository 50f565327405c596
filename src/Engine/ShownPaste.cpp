#include "Engine/ShownPaste.h"

#include "Utilities/Text.h"

#include <QStringList>
#include <algorithm>
#include <utility>

namespace {
bool isAscii(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// The pattern of a line (no break in it), each character as the field may show it.
QString linePattern(const QString& line)
{
    static const QString space = QStringLiteral("[ \\x{A0}]");
    static const QString tab = QStringLiteral("(?:\\t|[ \\x{A0}]{1,8})");
    static const QString afterWide = QStringLiteral("\\x{FEFF}?");
    QString pattern;
    for (const QString& grapheme : Text::graphemes(line)) {
        if (grapheme == QLatin1String(" "))
            pattern += space;
        else if (grapheme == QLatin1String("\t"))
            pattern += tab;
        else if (isAscii(grapheme))
            pattern += QRegularExpression::escape(grapheme);
        else
            pattern += QRegularExpression::escape(grapheme) + afterWide;
    }
    return pattern;
}
} // namespace

ShownPaste::ShownPaste(const QString& pasted)
{
    static const QString breaks = QStringLiteral("(?:[\\n\\r\\x{2028}\\x{2029}\\x{FFFC}]{1,3}| )?");
    static const QString restInObjects = QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]?\\x{FFFC}+\\z");
    const QString text = Text::canonical(pasted);
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!ShownPaste::isLineBreak(c)) {
            line += c;
            continue;
        }
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        lines.append(std::exchange(line, QString()));
    }
    // From the last line back: each break is followed by the rest as text, or by objects. A line
    // between the first and the last may stand in an object of its own (Chromium's editable
    // region, lines pasted into the middle of its text).
    QString rest = linePattern(line);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString shownLine = i == 0 ? linePattern(lines.at(i)) : "(?:" + linePattern(lines.at(i)) + "|\\x{FFFC})";
        rest = shownLine + "(?:" + restInObjects + "|" + breaks + rest + ")";
    }
    m_atStart = QRegularExpression(QStringLiteral("\\A(?:") + rest + ")");
    m_atEnd = QRegularExpression(QStringLiteral("(?:") + rest + ")\\z");
    m_whole = QRegularExpression(QRegularExpression::anchoredPattern(rest));
    const qsizetype beyondAscii = std::count_if(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() >= 0x80 && !c.isLowSurrogate();
    });
    m_otherwise = !lines.isEmpty() || text.contains(u'\t') || beyondAscii > 0 || text.startsWith(u' ')
        || text.endsWith(u' ') || text.contains(QLatin1String("  "));
    m_reach = text.size() + 2 * std::count_if(text.cbegin(), text.cend(), ShownPaste::isLineBreak) + 7 * text.count(u'\t') + beyondAscii;
}

std::optional<qsizetype> ShownPaste::lengthAtStartOf(const QString& shown) const
{
    const QRegularExpressionMatch match = m_atStart.match(Text::canonical(shown));
    return match.hasMatch() ? std::optional<qsizetype>(match.capturedLength()) : std::nullopt;
}

bool ShownPaste::isShownIn(const QString& shown, bool whole) const
{
    return (whole ? m_whole : m_atStart).match(Text::canonical(shown)).hasMatch();
}

bool ShownPaste::endsIn(const QString& shown) const
{
    return m_atEnd.match(Text::canonical(shown)).hasMatch();
}
