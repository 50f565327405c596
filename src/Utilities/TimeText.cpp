#include "Utilities/TimeText.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

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

QString mediumDate(const QDateTime& date)
{
    // The locale's long date without the weekday and with the month abbreviated: the
    // "medium" date the desktop's own dialogs use.
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    format.replace(QRegularExpression(QStringLiteral("M{4}")), QStringLiteral("MMM"));
    return locale.toString(date.date(), format.trimmed());
}

QString relativeDate(const QDateTime& date, const QDateTime& now)
{
    const qint64 delta = now.secsTo(date);
    const qint64 distance = delta < 0 ? -delta : delta;
    if (distance < 1)
        return QStringLiteral("now");
    struct Unit {
        qint64 seconds;
        const char* one;
        const char* many;
    };
    static constexpr Unit units[] = {
        {365 * 86400, "yr.", "yr."},
        {30 * 86400, "mo.", "mo."},
        {7 * 86400, "wk.", "wk."},
        {86400, "day", "days"},
        {3600, "hr.", "hr."},
        {60, "min.", "min."},
        {1, "sec.", "sec."},
    };
    for (const Unit& unit : units) {
        if (distance < unit.seconds)
            continue;
        const qint64 count = distance / unit.seconds;
        const QString phrase = QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? unit.one : unit.many));
        return delta < 0 ? phrase + QStringLiteral(" ago") : QStringLiteral("in ") + phrase;
    }
    return QStringLiteral("now");
}

} // namespace TimeText
