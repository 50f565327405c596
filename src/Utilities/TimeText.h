#pragma once

#include <QDateTime>
#include <QString>

// Durations and dates as the statistics and achievement screens show them.
namespace TimeText {

// Whole seconds of a stored total, truncated towards zero. A statistics file edited by hand
// can hold any number: what is not finite or is negative counts as 0, and what lies beyond
// the 64-bit range as the largest 64-bit integer, so the conversion is always defined.
qint64 wholeSeconds(double seconds);

// "0s", "59s", "1m", "1m 1s", "1h", "1h 1m", "277h 46m": hours are the largest unit and
// seconds are dropped once there are hours. Below one second (negatives included) "0s".
QString formatTimeLong(double seconds);

// A date without time in the user's language, with the month abbreviated: "Jan 5, 2026".
QString mediumDate(const QDateTime& date);

// How far `date` lies from `now` in the largest unit that fits, short and in the user's
// language (the default QLocale): "now", "12 sec. ago", "in 2 hr.", "3 days ago", "1 wk. ago";
// under de_DE "vor 3 Tagen".
QString relativeDate(const QDateTime& date, const QDateTime& now);

} // namespace TimeText
