#pragma once

#include "Utilities/CompactText.h"
#include "Utilities/VelmoraError.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>
#include <type_traits>

// A failure to read JSON into a record. `codingPath()` names the failing value the way a
// reader of the file would find it ("shortcuts[3].order"); `message()` is the sentence.
// Failures of the library rules are data-corrupted errors with an empty path whose message
// is one fixed sentence, and their description is exactly that sentence.
class DecodingError : public VelmoraError {
public:
    enum class Kind { typeMismatch, keyNotFound, valueNotFound, dataCorrupted };

    DecodingError(Kind kind, QString codingPath, QString message);
    static DecodingError dataCorrupted(const QString& message, const QString& codingPath = {});

    Kind kind() const { return m_kind; }
    const QString& codingPath() const { return m_path; }
    const QString& message() const { return m_message; }

    // The message, followed by the coding path when there is one.
    QString errorDescription() const override;

private:
    Kind m_kind;
    QString m_path;
    QString m_message;
};

// A value that cannot be written as JSON (a number that is not finite).
class EncodingError : public VelmoraError {
public:
    EncodingError(QString codingPath, QString message);
    const QString& codingPath() const { return m_path; }
    QString errorDescription() const override;

private:
    QString m_path;
    QString m_message;
};

class JsonReader;

// How a type is read from and written to JSON. Records provide
//   static T fromJson(const JsonReader&);  and  QJsonValue toJson() const;
// and get this for free; the primitives are specialised below.
template <class T, class = void> struct JsonCoding {
    static T decode(const JsonReader& reader) { return T::fromJson(reader); }
    static QJsonValue encode(const T& value) { return value.toJson(); }
};

// One JSON value together with its coding path. Every typed read checks the JSON type and
// throws DecodingError with the path on a mismatch; this is the one place where JSON turns
// into records.
class JsonReader {
public:
    explicit JsonReader(QJsonValue value, QString path = {});

    const QJsonValue& raw() const { return m_value; }
    QString path() const;

    // Absent (the key was missing) or JSON null.
    bool isNull() const { return m_value.isNull() || m_value.isUndefined(); }

    QJsonObject object() const;
    QJsonArray array() const;
    QString string() const;
    bool boolean() const;
    qint64 int64() const;
    double number() const;
    // Seconds since 2001-01-01 UTC, or ISO 8601 internet date-time with or without fraction.
    QDateTime date() const;

    // A member of this object (throws unless this is an object); absent members read as
    // undefined.
    JsonReader operator[](const QString& key) const;
    JsonReader at(qsizetype index) const;
    bool contains(const QString& key) const;

    template <class T> T decode() const { return JsonCoding<T>::decode(*this); }

    // A required member: missing gives keyNotFound, null gives valueNotFound.
    template <class T> T required(const QString& key) const
    {
        const JsonReader member = requiredMember(key);
        return member.decode<T>();
    }

    // An optional member: missing or null give nullopt.
    template <class T> std::optional<T> optional(const QString& key) const
    {
        const JsonReader member = (*this)[key];
        if (member.isNull())
            return std::nullopt;
        return member.decode<T>();
    }

    // A member with a default for missing or null.
    template <class T> T value(const QString& key, T fallback) const
    {
        const JsonReader member = (*this)[key];
        if (member.isNull())
            return fallback;
        return member.decode<T>();
    }

    DecodingError typeMismatch(const char* expected) const;

private:
    JsonReader requiredMember(const QString& key) const;
    // A member's path is only spelt out when asked for, which is when something fails: a large
    // library has hundreds of thousands of members.
    JsonReader(QJsonValue value, QString parentPath, QString key);

    QJsonValue m_value;
    QString m_parentPath;
    // Null unless this is a member of an object.
    QString m_key;
};

template <> struct JsonCoding<QString> {
    static QString decode(const JsonReader& r) { return r.string(); }
    static QJsonValue encode(const QString& v) { return v; }
};
template <> struct JsonCoding<CompactText> {
    static CompactText decode(const JsonReader& r) { return r.string(); }
    static QJsonValue encode(const CompactText& v) { return v.toString(); }
};
template <> struct JsonCoding<bool> {
    static bool decode(const JsonReader& r) { return r.boolean(); }
    static QJsonValue encode(bool v) { return v; }
};
template <> struct JsonCoding<qint64> {
    static qint64 decode(const JsonReader& r) { return r.int64(); }
    static QJsonValue encode(qint64 v) { return v; }
};
template <> struct JsonCoding<double> {
    static double decode(const JsonReader& r) { return r.number(); }
    static QJsonValue encode(double v) { return v; }
};
template <> struct JsonCoding<QDateTime> {
    static QDateTime decode(const JsonReader& r) { return r.date(); }
    static QJsonValue encode(const QDateTime& v);
};
template <class T> struct JsonCoding<QList<T>> {
    static QList<T> decode(const JsonReader& r)
    {
        const QJsonArray array = r.array();
        QList<T> out;
        out.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i)
            out.append(r.at(i).template decode<T>());
        return out;
    }
    static QJsonValue encode(const QList<T>& v)
    {
        QJsonArray array;
        for (const T& element : v)
            array.append(JsonCoding<T>::encode(element));
        return array;
    }
};
// Maps are JSON objects; the encoder writes object keys sorted.
template <class T> struct JsonCoding<QMap<QString, T>> {
    static QMap<QString, T> decode(const JsonReader& r)
    {
        const QJsonObject object = r.object();
        QMap<QString, T> out;
        for (auto it = object.begin(); it != object.end(); ++it)
            out.insert(it.key(), r[it.key()].template decode<T>());
        return out;
    }
    static QJsonValue encode(const QMap<QString, T>& v)
    {
        QJsonObject object;
        for (auto it = v.begin(); it != v.end(); ++it)
            object.insert(it.key(), JsonCoding<T>::encode(it.value()));
        return object;
    }
};

// Writes `value` under `key` only when it is present: no null is ever written.
template <class T> void insertIfPresent(QJsonObject& object, const QString& key, const std::optional<T>& value)
{
    if (value)
        object.insert(key, JsonCoding<T>::encode(*value));
}

// The one JSON set-up of the data files, archives, export file and cloud bodies.
//
// Output: QJsonDocument's indented form (four spaces per level, one member per line,
// `"key": value`), object keys sorted by their UTF-16 code units, integers written exactly
// as 64-bit integers, doubles in their shortest round-trip form, dates as UTC ISO 8601 with
// three fractional digits. Nothing in it depends on insertion order or on a hash seed, so
// equal values give identical bytes in every process.
namespace VelmoraJSON {

// Bytes of a value, and whether the encoder showed that they decode to a value equal to it.
struct Encoded {
    QByteArray bytes;
    bool readsBackAsGiven = false;
};

// Pretty, sorted, deterministic bytes; throws EncodingError for a non-finite number.
QByteArray encode(const QJsonValue& value);
// Compact bytes (the plain coder used for the credential record and copied items).
QByteArray encodeCompact(const QJsonValue& value);
// Any JSON value, including a bare scalar at the top level; throws DecodingError.
QJsonValue parse(const QByteArray& bytes);

// The date form written everywhere: 2025-03-01T09:30:00.250Z.
QString formatDate(const QDateTime& date);
// The date read rule on one JSON value (number of seconds since 2001, or ISO text).
QDateTime readDate(const QJsonValue& value, const QString& codingPath = {});

template <class T>
requires(!std::is_convertible_v<T, QJsonValue>) QByteArray encode(const T& value)
{
    return encode(JsonCoding<T>::encode(value));
}

template <class T> T decode(const QByteArray& bytes)
{
    return JsonReader(parse(bytes)).decode<T>();
}

} // namespace VelmoraJSON
