#include "Utilities/TimeText.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(TimeText, LongDurationsDropTheSmallerUnit)
{
    using TimeText::formatTimeLong;
    EXPECT_EQ(formatTimeLong(0), QStringLiteral("0s"));
    EXPECT_EQ(formatTimeLong(0.99), QStringLiteral("0s"));
    EXPECT_EQ(formatTimeLong(-12), QStringLiteral("0s"));
    EXPECT_EQ(formatTimeLong(1), QStringLiteral("1s"));
    EXPECT_EQ(formatTimeLong(59.99), QStringLiteral("59s"));
    EXPECT_EQ(formatTimeLong(60), QStringLiteral("1m"));
    EXPECT_EQ(formatTimeLong(61.5), QStringLiteral("1m 1s"));
    EXPECT_EQ(formatTimeLong(3599), QStringLiteral("59m 59s"));
    EXPECT_EQ(formatTimeLong(3659), QStringLiteral("1h"));
    EXPECT_EQ(formatTimeLong(3660), QStringLiteral("1h 1m"));
    EXPECT_EQ(formatTimeLong(7199), QStringLiteral("1h 59m"));
    EXPECT_EQ(formatTimeLong(90000), QStringLiteral("25h"));
    EXPECT_EQ(formatTimeLong(1000000), QStringLiteral("277h 46m"));
}

TEST(TimeText, TotalsFromAHandEditedFileAreClampedNotConverted)
{
    using TimeText::wholeSeconds;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(wholeSeconds(std::nan("")), 0);
    EXPECT_EQ(wholeSeconds(-infinity), 0);
    EXPECT_EQ(wholeSeconds(-5.5), 0);
    EXPECT_EQ(wholeSeconds(3599.99), 3599);
    EXPECT_EQ(wholeSeconds(infinity), 0);
    EXPECT_EQ(wholeSeconds(1e300), std::numeric_limits<qint64>::max());
    EXPECT_EQ(wholeSeconds(9223372036854775808.0), std::numeric_limits<qint64>::max());

    EXPECT_EQ(TimeText::formatTimeLong(std::nan("")), QStringLiteral("0s"));
    EXPECT_EQ(TimeText::formatTimeLong(infinity), QStringLiteral("0s"));
    EXPECT_EQ(TimeText::formatTimeLong(1e300), QStringLiteral("2562047788015215h 30m"));
}

TEST(TimeText, RelativeDatesInShortUnitsInTheUsersLanguage)
{
    const QLocale before;
    const QDateTime now(QDate(2026, 3, 10), QTime(12, 0));
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const QString germanPast = TimeText::relativeDate(now.addDays(-3), now);
    const QString germanFuture = TimeText::relativeDate(now.addSecs(7200), now);
    const QString germanNow = TimeText::relativeDate(now, now);
    QLocale::setDefault(QLocale::c());
    const QString plain = TimeText::relativeDate(now.addDays(-1), now);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(germanPast, QStringLiteral("vor 3 Tagen"));
    EXPECT_EQ(germanFuture, QStringLiteral("in 2 Std."));
    EXPECT_EQ(germanNow, QStringLiteral("jetzt"));
    EXPECT_EQ(plain, QStringLiteral("1 day ago")) << "the C locale reads as English";

    EXPECT_EQ(TimeText::relativeDate(now, now), QStringLiteral("now"));
    EXPECT_EQ(TimeText::relativeDate(now.addSecs(-12), now), QStringLiteral("12 sec. ago"));
    EXPECT_EQ(TimeText::relativeDate(now.addSecs(-300), now), QStringLiteral("5 min. ago"));
    EXPECT_EQ(TimeText::relativeDate(now.addSecs(7200), now), QStringLiteral("in 2 hr."));
    EXPECT_EQ(TimeText::relativeDate(now.addDays(-1), now), QStringLiteral("1 day ago"));
    EXPECT_EQ(TimeText::relativeDate(now.addDays(-3), now), QStringLiteral("3 days ago"));
    EXPECT_EQ(TimeText::relativeDate(now.addDays(-9), now), QStringLiteral("1 wk. ago"));
    EXPECT_EQ(TimeText::relativeDate(now.addDays(-400), now), QStringLiteral("1 yr. ago"));
    QLocale::setDefault(before);
}

TEST(TimeText, MediumDatesKeepNoMarkOfTheLeftOutWeekday)
{
    const QLocale before;
    // Late in the day, so that a date taken for midnight UTC would show the next day east of it.
    const QDateTime received(QDate(2026, 12, 9), QTime(23, 30));
    // Arabic puts its own comma after the weekday, Hungarian puts the weekday last.
    QLocale::setDefault(QLocale(QStringLiteral("ar_EG")));
    const QString arabic = TimeText::mediumDate(received);
    QLocale::setDefault(QLocale(QStringLiteral("hu_HU")));
    const QString hungarian = TimeText::mediumDate(received);
    QLocale::setDefault(QLocale::c());
    const QString plain = TimeText::mediumDate(received);
    QLocale::setDefault(before);
    EXPECT_EQ(arabic, QStringLiteral("\u0669 \u062f\u064a\u0633\u0645\u0628\u0631 \u0662\u0660\u0662\u0666"));
    EXPECT_EQ(hungarian, QStringLiteral("2026. dec. 9."));
    EXPECT_EQ(plain, QStringLiteral("Dec 9, 2026"));
}
