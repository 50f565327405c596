#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDebug>
#include <QMetaType>
#include <QString>
#include <QStringBuilder>

// Text held as UTF-8 and implicitly shared like a QString: for the mostly Latin texts of a
// library, half the memory of UTF-16. It turns into a QString where text is shown, edited or
// handed to another program; searching, comparing and writing work on its bytes.
//
// Made from a QString it holds that text exactly, even unpaired surrogates (which a library
// file keeps as escapes): those take the three bytes UTF-8 would give their code point.
class CompactText {
public:
    CompactText() = default;
    // Implicit, so that a text field takes a QString as it did when it was one.
    CompactText(const QString& text); // NOLINT(google-explicit-constructor)
    template <class A, class B>
    CompactText(const QStringBuilder<A, B>& text) // NOLINT(google-explicit-constructor)
        : CompactText(QString(text))
    {
    }
    // UTF-8, like QString's own constructor from a C string.
    CompactText(const char* utf8) // NOLINT(google-explicit-constructor)
        : m_utf8(utf8)
    {
    }
    // Takes `utf8` as it is: it must be valid UTF-8.
    static CompactText fromUtf8(QByteArray utf8);

    // Made anew, so that the bytes stay exactly as long as the text and a surrogate pair split
    // between the two parts is joined.
    CompactText& operator+=(const QString& text) { return *this = CompactText(toString() + text); }

    QString toString() const;
    const QByteArray& utf8() const { return m_utf8; }
    bool isEmpty() const { return m_utf8.isEmpty(); }
    bool isAscii() const { return isAscii(m_utf8); }
    // The length of toString(), without making it.
    qsizetype utf16Size() const { return utf16Size(m_utf8); }
    // Whether `other` is this text or a copy of it, which share their bytes; a quick test for
    // a record that was not changed.
    bool isSharedWith(const CompactText& other) const
    {
        return m_utf8.constData() == other.m_utf8.constData() && m_utf8.size() == other.m_utf8.size();
    }

    // UTF-8 of toString().toLower(), without making either.
    QByteArray loweredUtf8() const;
    // Whether loweredUtf8() lowers each character to one of as many bytes, so that it is
    // these bytes' length with every character at the same place: then indexOfLowered finds
    // what a search of it would, and no lowered copy need be kept. True for ASCII.
    bool lowersInPlace() const;
    // Where loweredUtf8() first holds `needle` (valid UTF-8), looking from `from` on (the
    // start of a character), or -1; only for a text that lowersInPlace(). Lowers while it
    // compares.
    qsizetype indexOfLowered(QByteArrayView needle, qsizetype from = 0) const;

    static bool isAscii(QByteArrayView utf8);
    static qsizetype utf16Size(QByteArrayView utf8);

    // Same text, character for character (not canonical equivalence; see RecordText).
    friend bool operator==(const CompactText& a, const CompactText& b) { return a.m_utf8 == b.m_utf8; }
    friend bool operator==(const CompactText& a, const QString& b);
    friend bool operator==(const CompactText& a, const char* utf8) { return a.m_utf8 == utf8; }

private:
    // Writes `c` as UTF-8 at `out`, a surrogate as its three bytes; where the next goes.
    static char* appendUtf8(char* out, char32_t c);

    QByteArray m_utf8;
};

size_t qHash(const CompactText& text, size_t seed = 0);
QDebug operator<<(QDebug debug, const CompactText& text);
Q_DECLARE_METATYPE(CompactText)
