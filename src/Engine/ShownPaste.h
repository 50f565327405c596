#pragma once

#include <QRegularExpression>
#include <QString>
#include <optional>

// Pasted text as a field may show it, read back over the accessibility interface, where it
// shows the same text in other characters than were pasted:
// - a line break as it is, as another kind of break or a pair of them ("\r\n"), as an
//   embedded object (U+FFFC) that stands for a paragraph of its own with or without a break,
//   as a space (a line field joins the lines) or left out; breaks at the end may be gone. The
//   lines after a break may also all stand in embedded objects at the end of the text
//   (Chromium's editable region puts the lines after the first in an element of their own),
//   and a line between the first and the last in an object of its own (pasted into the middle
//   of Chromium's region: the last line joins the text that stood behind the caret);
// - a space as a no-break space (a browser's editable region keeps a space at the end of its
//   text, or beside another, as one);
// - a tab as a no-break space or a run of up to eight spaces (Gecko's editors, in a region
//   that does not keep white space as it is);
// - a zero-width no-break space (U+FEFF) after any character beyond ASCII (Gecko's editors
//   follow an emoji with one).
// Nothing else counts as the same: a paste cut short, or with other text in it, does not match.
class ShownPaste {
public:
    explicit ShownPaste(const QString& pasted);

    // Whether `shown`, read from where the paste began, begins with the pasted text the
    // field's way; with `whole`, whether it is that and nothing more.
    bool isShownIn(const QString& shown, bool whole) const;
    // How much of the start of `shown` (in its NFC form) is the pasted text the field's way.
    std::optional<qsizetype> lengthAtStartOf(const QString& shown) const;
    // Whether `shown` ends with the pasted text the field's way.
    bool endsIn(const QString& shown) const;
    // Whether a field may show the pasted text in other characters at all: plain words with
    // single spaces between them it shows as they are.
    bool mayBeShownOtherwise() const { return m_otherwise; }
    // How many UTF-16 units a field may take to show the pasted text.
    qint64 reach() const { return m_reach; }

    // Any character that breaks a line (a paste's line breaks are these).
    static bool isLineBreak(QChar c)
    {
        return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
    }

private:
    QRegularExpression m_atStart;
    QRegularExpression m_atEnd;
    QRegularExpression m_whole;
    qint64 m_reach = 0;
    bool m_otherwise = false;
};
