#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Text is compared as Unicode text: canonically equivalent strings are equal wherever
// triggers, folder names or ids are compared or kept in sets and maps. The canonical form
// is NFC; keep keys of sets and maps in it. Counts of characters are user-perceived
// characters (extended grapheme clusters), never code units.
namespace Text {

// The NFC form of `text`; cheap when the text is already in NFC (ASCII always is).
QString canonical(const QString& text);

bool equal(const QString& a, const QString& b);

// Hash consistent with `equal`.
size_t hash(const QString& text, size_t seed = 0);

// Asks the processor for the characters of `text` ahead of a loop that reaches them a few
// items later. A large library's ids lie far apart in memory, and a pass over tens of
// thousands of them otherwise waits for each one in turn.
inline void prefetch(const QString& text)
{
    const char* data = reinterpret_cast<const char*>(text.constData());
    // The string's header (its reference count) sits right before its characters.
    __builtin_prefetch(data - 16);
    __builtin_prefetch(data + 48);
}

// How many items ahead a loop asks for: far enough to hide a trip to memory, near enough
// that what it asked for is still in the cache when it gets there.
inline constexpr qsizetype prefetchDistance = 8;

// Number of extended grapheme clusters.
qsizetype graphemeCount(QStringView text);

// The extended grapheme clusters of `text`, in order.
QStringList graphemes(QStringView text);

// Unicode white space or line break, as the platform's character set defines it.
bool isWhitespace(char32_t c);
// Whether any character of `text` is white space or a line break.
bool containsWhitespace(QStringView text);

// `text` without leading and trailing white space and line breaks.
QString trimmed(const QString& text);

// `text` without any leading and trailing `c`.
QString trimmedOf(const QString& text, QChar c);

// `text` without leading and trailing white space only (space separators and tab); line
// breaks at either end stay.
QString trimmedOfSpaces(const QString& text);

} // namespace Text
