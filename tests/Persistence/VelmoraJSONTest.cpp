#include "Models/VelmoraJSON.h"
#include "Models/Shortcut.h"

#include <QTimeZone>
#include <gtest/gtest.h>
#include <limits>

namespace {
QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

QDateTime readDate(const QByteArray& json)
{
    return VelmoraJSON::readDate(VelmoraJSON::parse(json));
}

template <class F> DecodingError decodingFailure(F&& f)
{
    try {
        f();
    } catch (const DecodingError& e) {
        return e;
    }
    ADD_FAILURE() << "expected a DecodingError";
    return DecodingError::dataCorrupted(QString());
}
} // namespace

TEST(VelmoraJSONDates, ReadIsoTextWithAndWithoutFractionAndWriteThreeDigits)
{
    EXPECT_EQ(readDate("\"2025-03-01T09:30:00Z\""), utc(2025, 3, 1, 9, 30, 0));
    EXPECT_EQ(readDate("\"2025-03-01T09:30:00.250Z\""), utc(2025, 3, 1, 9, 30, 0, 250));
    EXPECT_EQ(
        VelmoraJSON::formatDate(readDate("\"2025-03-01T09:30:00Z\"")), QStringLiteral("2025-03-01T09:30:00.000Z"));
    EXPECT_EQ(VelmoraJSON::formatDate(utc(2025, 3, 1, 9, 30, 0, 250)), QStringLiteral("2025-03-01T09:30:00.250Z"));
}

TEST(VelmoraJSONDates, ReadNumericOffsetsAsTheSameMoment)
{
    EXPECT_EQ(readDate("\"2025-03-01T10:30:00+01:00\""), utc(2025, 3, 1, 9, 30, 0));
    EXPECT_EQ(readDate("\"2025-03-01T04:00:00.5-05:30\""), utc(2025, 3, 1, 9, 30, 0, 500));
}

TEST(VelmoraJSONDates, ReadNumbersAsSecondsSince2001)
{
    EXPECT_EQ(readDate("0"), utc(2001, 1, 1, 0, 0, 0));
    EXPECT_EQ(readDate("86400.5"), utc(2001, 1, 2, 0, 0, 0, 500));
    EXPECT_EQ(readDate("-1"), utc(2000, 12, 31, 23, 59, 59));
}

TEST(VelmoraJSONDates, RefuseTextThatIsNoInternetDateTime)
{
    for (const char* bad : {"\"yesterday\"", "\"2025-03-01\"", "\"2025-03-01T09:30Z\"", "\"2025-13-01T09:30:00Z\"",
             "\"2025-02-30T09:30:00Z\"", "\"2025-03-01T09:30:00\"", "\"2025-03-01T09:30:00.Z\"",
             "\"2025-03-01T09:30:00Z trailing\"", "\"\""}) {
        const DecodingError e = decodingFailure([&] { readDate(bad); });
        EXPECT_EQ(e.kind(), DecodingError::Kind::dataCorrupted) << bad;
        EXPECT_EQ(e.message(), QStringLiteral("Invalid ISO date.")) << bad;
    }
}

TEST(VelmoraJSONDates, RefuseOtherTypesAndUnrepresentableNumbers)
{
    EXPECT_EQ(decodingFailure([] { readDate("true"); }).kind(), DecodingError::Kind::typeMismatch);
    const DecodingError huge = decodingFailure([] { readDate("1e300"); });
    EXPECT_EQ(huge.message(), QStringLiteral("Invalid date."));
}

TEST(VelmoraJSONEncoding, EqualValuesGiveIdenticalBytesWhateverTheInsertionOrder)
{
    QJsonObject a;
    a.insert(QStringLiteral("zeta"), 1);
    a.insert(QStringLiteral("alpha"), QJsonObject{{QStringLiteral("y"), 2}, {QStringLiteral("b"), 3}});
    a.insert(QStringLiteral("mid"), QJsonArray{1, 2, 3});
    QJsonObject b;
    b.insert(QStringLiteral("mid"), QJsonArray{1, 2, 3});
    b.insert(QStringLiteral("alpha"), QJsonObject{{QStringLiteral("b"), 3}, {QStringLiteral("y"), 2}});
    b.insert(QStringLiteral("zeta"), 1);
    const QByteArray bytes = VelmoraJSON::encode(a);
    EXPECT_EQ(bytes, VelmoraJSON::encode(b));
    EXPECT_LT(bytes.indexOf("\"alpha\""), bytes.indexOf("\"mid\""));
    EXPECT_LT(bytes.indexOf("\"b\""), bytes.indexOf("\"y\""));
    EXPECT_TRUE(bytes.contains("\n    \"alpha\": {")) << bytes.constData();
}

TEST(VelmoraJSONEncoding, KeepsSixtyFourBitIntegersExact)
{
    const qint64 big = std::numeric_limits<qint64>::max();
    const qint64 small = std::numeric_limits<qint64>::min();
    QJsonObject o{{QStringLiteral("big"), big}, {QStringLiteral("small"), small},
        {QStringLiteral("odd"), qint64(9007199254740993LL)}};
    const QByteArray bytes = VelmoraJSON::encode(o);
    EXPECT_TRUE(bytes.contains("9223372036854775807"));
    EXPECT_TRUE(bytes.contains("9007199254740993"));
    const JsonReader r(VelmoraJSON::parse(bytes));
    EXPECT_EQ(r.required<qint64>(QStringLiteral("big")), big);
    EXPECT_EQ(r.required<qint64>(QStringLiteral("small")), small);
    EXPECT_EQ(r.required<qint64>(QStringLiteral("odd")), 9007199254740993LL);
}

TEST(VelmoraJSONEncoding, RefusesNumbersThatAreNotFinite)
{
    QJsonObject o{{QStringLiteral("list"), QJsonArray{1.0, std::numeric_limits<double>::infinity()}}};
    try {
        VelmoraJSON::encode(o);
        FAIL() << "encoding an infinite number must fail";
    } catch (const EncodingError& e) {
        EXPECT_EQ(e.codingPath(), QStringLiteral("list[1]"));
    }
}

TEST(VelmoraJSONDecoding, ErrorsCarryTheCodingPath)
{
    const QByteArray json = R"({"shortcuts":[{"id":"a","trigger":"t","expansion":"e"},
                                            {"id":"b","trigger":"t","expansion":"e","order":"3"}]})";
    const DecodingError e = decodingFailure(
        [&] { JsonReader(VelmoraJSON::parse(json))[QStringLiteral("shortcuts")].decode<QList<Shortcut>>(); });
    EXPECT_EQ(e.kind(), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(e.codingPath(), QStringLiteral("shortcuts[1].order"));
    EXPECT_TRUE(e.errorDescription().contains(QStringLiteral("shortcuts[1].order")));
}

TEST(VelmoraJSONDecoding, MissingRequiredKeysAndNullsAreTellApart)
{
    const DecodingError missing
        = decodingFailure([] { VelmoraJSON::decode<Shortcut>(R"({"id":"a","expansion":"e"})"); });
    EXPECT_EQ(missing.kind(), DecodingError::Kind::keyNotFound);
    EXPECT_TRUE(missing.message().contains(QStringLiteral("trigger")));
    const DecodingError null
        = decodingFailure([] { VelmoraJSON::decode<Shortcut>(R"({"id":"a","trigger":null,"expansion":"e"})"); });
    EXPECT_EQ(null.kind(), DecodingError::Kind::valueNotFound);
    EXPECT_EQ(null.codingPath(), QStringLiteral("trigger"));
}

TEST(VelmoraJSONDecoding, IntegersMustBeWholeAndFitSixtyFourBits)
{
    EXPECT_EQ(VelmoraJSON::decode<Shortcut>(R"({"id":"a","trigger":"t","expansion":"e","order":3.0})").order, 3);
    for (const char* bad : {"3.5", "1e30", "18446744073709551616"}) {
        const QByteArray json = QByteArray(R"({"id":"a","trigger":"t","expansion":"e","order":)") + bad + "}";
        EXPECT_THROW(VelmoraJSON::decode<Shortcut>(json), DecodingError) << bad;
    }
}

TEST(VelmoraJSONDecoding, MalformedJsonAndBareScalars)
{
    EXPECT_EQ(decodingFailure([] { VelmoraJSON::parse("{\"a\":"); }).kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(decodingFailure([] { VelmoraJSON::parse("{} {}"); }).kind(), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(VelmoraJSON::parse("42").toInteger(), 42);
    EXPECT_EQ(decodingFailure([] { VelmoraJSON::decode<Shortcut>("42"); }).kind(), DecodingError::Kind::typeMismatch);
}

TEST(VelmoraJSONRoundTrip, NestedRecordsComeBackEqualWithStableBytes)
{
    Shortcut s{QStringLiteral("ID-1"), QStringLiteral("/sig"), QStringLiteral("Best regards,\n\u00c9milie \U0001F44B"),
        QStringLiteral("G"), 7, true};
    Group g;
    g.id = QStringLiteral("G");
    g.name = QStringLiteral("Work");
    g.color = QStringLiteral("#E2725B");
    QMap<QString, QList<Shortcut>> nested{{QStringLiteral("b"), {s}}, {QStringLiteral("a"), {s, s}}};
    const QByteArray bytes = VelmoraJSON::encode(nested);
    const auto back = VelmoraJSON::decode<QMap<QString, QList<Shortcut>>>(bytes);
    EXPECT_EQ(back, nested);
    EXPECT_EQ(VelmoraJSON::encode(back), bytes);
    EXPECT_EQ(VelmoraJSON::decode<Group>(VelmoraJSON::encode(g)), g);
}
