#include "Utilities/TimeText.h"

#include <QLocale>
#include <cmath>
#include <limits>
#include <memory>
#include <unicode/dtptngen.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace TimeText {

qint64 wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    // 2^63 is exactly representable; everything at or above it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (seconds >= limit)
        return std::numeric_limits<qint64>::max();
    return qint64(std::trunc(seconds));
}

QString formatTimeLong(double seconds)
{
    if (!(seconds >= 1))
        return QStringLiteral("0s");
    const qint64 t = wholeSeconds(seconds);
    if (t < 60)
        return QStringLiteral("%1s").arg(t);
    if (t < 3600) {
        const qint64 m = t / 60;
        const qint64 s = t % 60;
        return s >= 1 ? QStringLiteral("%1m %2s").arg(m).arg(s) : QStringLiteral("%1m").arg(m);
    }
    const qint64 h = t / 3600;
    const qint64 r = t % 3600;
    return r < 60 ? QStringLiteral("%1h").arg(h) : QStringLiteral("%1h %2m").arg(h).arg(r / 60);
}

namespace {

// ICU's name for the default QLocale. The C locale has no language of its own: it reads as
// plain English, as Qt's texts do.
QByteArray icuLocaleName()
{
    const QLocale locale;
    return locale.language() == QLocale::C ? QByteArrayLiteral("en_US_POSIX") : locale.name().toLatin1();
}

QString fromIcu(const icu::UnicodeString& text)
{
    return QString::fromUtf16(text.getBuffer(), text.length());
}

} // namespace

QString mediumDate(const QDateTime& date)
{
    // The day, the abbreviated month and the year in the order and with the words and marks
    // the locale gives them, as the desktop's own dialogs show a date. A pattern cut out of the
    // long date would keep the separator that followed the weekday ("، 9 ديسمبر 2026").
    // The calendar stays the Gregorian one every other date in the application is counted in.
    const QDate day = date.date();
    for (const QByteArray& candidate : {icuLocaleName(), QByteArrayLiteral("en_US_POSIX")}) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale locale(candidate.constData());
        locale.setKeywordValue("calendar", "gregorian", status);
        const std::unique_ptr<icu::DateTimePatternGenerator> patterns(
            icu::DateTimePatternGenerator::createInstance(locale, status));
        if (U_FAILURE(status))
            continue;
        const icu::UnicodeString pattern = patterns->getBestPattern(icu::UnicodeString(u"yMMMd"), status);
        icu::SimpleDateFormat format(pattern, locale, status);
        icu::GregorianCalendar calendar(*icu::TimeZone::getGMT(), status);
        if (U_FAILURE(status))
            continue;
        format.setTimeZone(*icu::TimeZone::getGMT());
        calendar.clear();
        calendar.set(day.year(), day.month() - 1, day.day());
        const UDate instant = calendar.getTime(status);
        icu::UnicodeString text;
        format.format(instant, text);
        if (U_SUCCESS(status))
            return fromIcu(text);
    }
    return QLocale().toString(day, QLocale::ShortFormat);
}

QString relativeDate(const QDateTime& date, const QDateTime& now)
{
    const qint64 delta = now.secsTo(date);
    const qint64 distance = delta < 0 ? -delta : delta;
    // The largest unit that fits at least once, as the desktop's own "2 hours ago" reads.
    struct Unit {
        qint64 seconds;
        URelativeDateTimeUnit unit;
    };
    static constexpr Unit units[] = {
        {365 * 86400, UDAT_REL_UNIT_YEAR},
        {30 * 86400, UDAT_REL_UNIT_MONTH},
        {7 * 86400, UDAT_REL_UNIT_WEEK},
        {86400, UDAT_REL_UNIT_DAY},
        {3600, UDAT_REL_UNIT_HOUR},
        {60, UDAT_REL_UNIT_MINUTE},
        {1, UDAT_REL_UNIT_SECOND},
    };
    const auto phrase
        = [&](const icu::RelativeDateTimeFormatter& formatter, icu::UnicodeString& text, UErrorCode& status) {
              for (const Unit& unit : units) {
                  if (distance >= unit.seconds) {
                      const qint64 count = distance / unit.seconds;
                      formatter.formatNumeric(double(delta < 0 ? -count : count), unit.unit, text, status);
                      return;
                  }
              }
              formatter.format(UDAT_DIRECTION_PLAIN, UDAT_ABSOLUTE_NOW, text, status);
          };
    for (const QByteArray& candidate : {icuLocaleName(), QByteArrayLiteral("en_US_POSIX")}) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::RelativeDateTimeFormatter formatter(
            icu::Locale(candidate.constData()), nullptr, UDAT_STYLE_SHORT, UDISPCTX_CAPITALIZATION_NONE, status);
        icu::UnicodeString text;
        if (U_SUCCESS(status))
            phrase(formatter, text, status);
        if (U_SUCCESS(status))
            return fromIcu(text);
    }
    return QString();
}

} // namespace TimeText
