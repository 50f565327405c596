#include "Models/VelmoraJSON.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimeZone>
#include <cmath>
#include <cstring>

// ---------------------------------------------------------------- errors

DecodingError::DecodingError(Kind kind, QString codingPath, QString message)
    : m_kind(kind)
    , m_path(std::move(codingPath))
    , m_message(std::move(message))
{
}

DecodingError DecodingError::dataCorrupted(const QString& message, const QString& codingPath)
{
    return DecodingError(Kind::dataCorrupted, codingPath, message);
}

QString DecodingError::errorDescription() const
{
    if (m_path.isEmpty())
        return m_message;
    return m_message + QStringLiteral(" (at ") + m_path + u')';
}

EncodingError::EncodingError(QString codingPath, QString message)
    : m_path(std::move(codingPath))
    , m_message(std::move(message))
{
}

QString EncodingError::errorDescription() const
{
    if (m_path.isEmpty())
        return m_message;
    return m_message + QStringLiteral(" (at ") + m_path + u')';
}

// ---------------------------------------------------------------- reader

namespace {
const char* typeName(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null: return "null";
    case QJsonValue::Bool: return "a Boolean";
    case QJsonValue::Double: return "a number";
    case QJsonValue::String: return "text";
    case QJsonValue::Array: return "a list";
    case QJsonValue::Object: return "an object";
    case QJsonValue::Undefined: return "nothing";
    }
    return "an unknown value";
}

QString memberPath(const QString& parent, const QString& key)
{
    return parent.isEmpty() ? key : parent + u'.' + key;
}

// The written form has a four-digit year, so only years 1 to 9999 survive a round trip.
// Reading refuses the rest too: a value that loads but cannot be saved again would make
// every later save of its file fail.
bool isWritableDate(const QDateTime& date)
{
    const int year = date.toUTC().date().year();
    return date.isValid() && year >= 1 && year <= 9999;
}
} // namespace

JsonReader::JsonReader(QJsonValue value, QString path)
    : m_value(std::move(value))
    , m_parentPath(std::move(path))
{
}

JsonReader::JsonReader(QJsonValue value, QString parentPath, QString key)
    : m_value(std::move(value))
    , m_parentPath(std::move(parentPath))
    , m_key(std::move(key))
{
}

QString JsonReader::path() const
{
    return m_key.isNull() ? m_parentPath : memberPath(m_parentPath, m_key);
}

DecodingError JsonReader::typeMismatch(const char* expected) const
{
    return DecodingError(DecodingError::Kind::typeMismatch, path(),
        QStringLiteral("Expected %1 but found %2.").arg(QLatin1String(expected), QLatin1String(typeName(m_value))));
}

QJsonObject JsonReader::object() const
{
    if (!m_value.isObject())
        throw typeMismatch("an object");
    return m_value.toObject();
}

QJsonArray JsonReader::array() const
{
    if (!m_value.isArray())
        throw typeMismatch("a list");
    return m_value.toArray();
}

QString JsonReader::string() const
{
    if (!m_value.isString())
        throw typeMismatch("text");
    return m_value.toString();
}

bool JsonReader::boolean() const
{
    if (!m_value.isBool())
        throw typeMismatch("a Boolean");
    return m_value.toBool();
}

qint64 JsonReader::int64() const
{
    if (!m_value.isDouble())
        throw typeMismatch("a whole number");
    // Qt keeps integers that fit 64 bits exactly; toInteger gives its fallback for anything
    // that is not an exact integer, so two different fallbacks expose that case.
    const qint64 a = m_value.toInteger(0);
    const qint64 b = m_value.toInteger(1);
    if (a != b) {
        throw DecodingError::dataCorrupted(
            QStringLiteral("The number %1 is not a whole number that fits in 64 bits.").arg(m_value.toDouble()),
            path());
    }
    return a;
}

double JsonReader::number() const
{
    if (!m_value.isDouble())
        throw typeMismatch("a number");
    return m_value.toDouble();
}

QDateTime JsonReader::date() const
{
    return VelmoraJSON::readDate(m_value, path());
}

JsonReader JsonReader::operator[](const QString& key) const
{
    const QJsonObject o = object();
    return JsonReader(o.value(key), path(), key);
}

JsonReader JsonReader::at(qsizetype index) const
{
    const QJsonArray a = array();
    return JsonReader(a.at(index), path() + u'[' + QString::number(index) + u']');
}

bool JsonReader::contains(const QString& key) const
{
    return object().contains(key);
}

JsonReader JsonReader::requiredMember(const QString& key) const
{
    const QJsonObject o = object();
    const auto it = o.constFind(key);
    if (it == o.constEnd()) {
        throw DecodingError(DecodingError::Kind::keyNotFound, path(),
            QStringLiteral("The required key \u201C%1\u201D is missing.").arg(key));
    }
    JsonReader member(it.value(), path(), key);
    if (member.m_value.isNull()) {
        throw DecodingError(DecodingError::Kind::valueNotFound, member.path(),
            QStringLiteral("The required key \u201C%1\u201D holds null.").arg(key));
    }
    return member;
}

QJsonValue JsonCoding<QDateTime>::encode(const QDateTime& v)
{
    // A date the reader could not take back must not reach a file: the next load would fail
    // on data that was saved as good.
    if (!isWritableDate(v))
        throw EncodingError(
            {}, QStringLiteral("A date that is missing or outside the years 1 to 9999 cannot be written as JSON."));
    return VelmoraJSON::formatDate(v);
}

// ---------------------------------------------------------------- coder

namespace VelmoraJSON {

namespace {
    void checkFinite(const QJsonValue& value, const QString& path)
    {
        switch (value.type()) {
        case QJsonValue::Double:
            if (!std::isfinite(value.toDouble()))
                throw EncodingError(path, QStringLiteral("A number that is not finite cannot be written as JSON."));
            break;
        case QJsonValue::Array: {
            const QJsonArray a = value.toArray();
            for (qsizetype i = 0; i < a.size(); ++i)
                checkFinite(a.at(i), path + u'[' + QString::number(i) + u']');
            break;
        }
        case QJsonValue::Object: {
            const QJsonObject o = value.toObject();
            for (auto it = o.begin(); it != o.end(); ++it)
                checkFinite(it.value(), memberPath(path, it.key()));
            break;
        }
        default: break;
        }
    }

    // U+FEFF, the byte-order mark, in UTF-8.
    constexpr char byteOrderMark[] = "\xEF\xBB\xBF";
    constexpr qsizetype byteOrderMarkSize = 3;

    // Whether `bytes` hold the mark right after a quotation mark, where every text that begins
    // with it has it. Its first byte is rare in text, so a library of megabytes is looked
    // through at memchr's speed.
    bool holdsQuotedMark(QByteArrayView bytes)
    {
        const char* const begin = bytes.data();
        const char* const end = begin + bytes.size();
        for (const char* at = begin; at < end; ++at) {
            at = static_cast<const char*>(std::memchr(at, byteOrderMark[0], size_t(end - at)));
            if (!at)
                return false;
            if (end - at >= byteOrderMarkSize && std::memcmp(at, byteOrderMark, byteOrderMarkSize) == 0 && at > begin
                && at[-1] == '"')
                return true;
        }
        return false;
    }

    // Qt's parser drops a byte-order mark that begins a text written without escapes, as if
    // it began a file; written as an escape it is kept. Texts must keep every character, so
    // such a mark is written as an escape. In Qt's output a quotation mark followed by the
    // mark opens a text (one inside a text is escaped, and the escape reads the same).
    QByteArray escapeLeadingMarks(QByteArray bytes)
    {
        if (holdsQuotedMark(bytes))
            bytes.replace(QByteArrayLiteral("\"\xEF\xBB\xBF"), QByteArrayLiteral("\"\\ufeff"));
        return bytes;
    }

    QByteArray write(const QJsonValue& value, QJsonDocument::JsonFormat format)
    {
        checkFinite(value, {});
        if (value.isObject())
            return escapeLeadingMarks(QJsonDocument(value.toObject()).toJson(format));
        if (value.isArray())
            return escapeLeadingMarks(QJsonDocument(value.toArray()).toJson(format));
        // A bare scalar: write it as the single element of a list and take it back out.
        QByteArray bytes = escapeLeadingMarks(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
        return bytes.mid(1, bytes.size() - 2);
    }

    // Other writers leave the mark as it is: the texts that begin with one get it as an
    // escape before Qt's parser sees them. Only the quotation marks that open a text count,
    // so the texts are followed from the start.
    QByteArray withLeadingMarksEscaped(const QByteArray& bytes)
    {
        if (!holdsQuotedMark(bytes))
            return bytes;
        QByteArray out;
        out.reserve(bytes.size() + bytes.size() / 16);
        const char* at = bytes.constData();
        const char* const end = at + bytes.size();
        bool inText = false;
        while (at < end) {
            const char c = *at++;
            out += c;
            if (inText) {
                if (c == '\\' && at < end)
                    out += *at++;
                else if (c == '"')
                    inText = false;
            } else if (c == '"') {
                inText = true;
                if (end - at >= byteOrderMarkSize && std::memcmp(at, byteOrderMark, byteOrderMarkSize) == 0) {
                    out += "\\ufeff";
                    at += byteOrderMarkSize;
                }
            }
        }
        return out;
    }

    bool digits(QStringView s, qsizetype from, qsizetype count)
    {
        if (from + count > s.size())
            return false;
        for (qsizetype i = from; i < from + count; ++i) {
            if (!s[i].isDigit() || s[i].unicode() > 0x7F)
                return false;
        }
        return true;
    }

    int number(QStringView s, qsizetype from, qsizetype count)
    {
        int v = 0;
        for (qsizetype i = from; i < from + count; ++i)
            v = v * 10 + (s[i].unicode() - u'0');
        return v;
    }

    // ISO 8601 internet date-time (RFC 3339): yyyy-MM-ddTHH:mm:ss, an optional fraction, and Z
    // or a numeric offset.
    std::optional<QDateTime> parseInternetDateTime(QStringView s)
    {
        if (!(digits(s, 0, 4) && s.size() > 4 && s[4] == u'-' && digits(s, 5, 2) && s.size() > 7 && s[7] == u'-'
                && digits(s, 8, 2) && s.size() > 10 && (s[10] == u'T' || s[10] == u't') && digits(s, 11, 2)
                && s.size() > 13 && s[13] == u':' && digits(s, 14, 2) && s.size() > 16 && s[16] == u':'
                && digits(s, 17, 2)))
            return std::nullopt;
        const QDate date(number(s, 0, 4), number(s, 5, 2), number(s, 8, 2));
        const int hour = number(s, 11, 2), minute = number(s, 14, 2), second = number(s, 17, 2);
        if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
            return std::nullopt;
        qsizetype i = 19;
        int msec = 0;
        if (i < s.size() && s[i] == u'.') {
            ++i;
            const qsizetype start = i;
            while (i < s.size() && s[i].isDigit() && s[i].unicode() <= 0x7F)
                ++i;
            if (i == start)
                return std::nullopt;
            for (qsizetype k = start; k < start + 3; ++k)
                msec = msec * 10 + (k < i ? s[k].unicode() - u'0' : 0);
        }
        int offsetSeconds = 0;
        if (i < s.size() && (s[i] == u'Z' || s[i] == u'z')) {
            ++i;
        } else if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
            const int sign = s[i] == u'-' ? -1 : 1;
            ++i;
            if (!digits(s, i, 2))
                return std::nullopt;
            const int oh = number(s, i, 2);
            i += 2;
            if (i < s.size() && s[i] == u':')
                ++i;
            if (!digits(s, i, 2))
                return std::nullopt;
            const int om = number(s, i, 2);
            i += 2;
            if (oh > 23 || om > 59)
                return std::nullopt;
            offsetSeconds = sign * (oh * 3600 + om * 60);
        } else {
            return std::nullopt;
        }
        if (i != s.size())
            return std::nullopt;
        QDateTime utc(date, QTime(hour, minute, second, msec), Qt::UTC);
        return utc.addSecs(-offsetSeconds);
    }
} // namespace

QByteArray encode(const QJsonValue& value)
{
    return write(value, QJsonDocument::Indented);
}

QByteArray encodeCompact(const QJsonValue& value)
{
    return write(value, QJsonDocument::Compact);
}

QJsonValue parse(const QByteArray& input)
{
    // Editors on some systems start a UTF-8 file with a byte-order mark; it carries nothing.
    const QByteArray bytes = withLeadingMarksEscaped(input.startsWith(byteOrderMark) ? input.sliced(3) : input);
    // Wrapped in a list so that a bare scalar at the top level parses too and then fails
    // with the record's own type error.
    QByteArray wrapped;
    wrapped.reserve(bytes.size() + 2);
    wrapped.append('[').append(bytes).append(']');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError || document.array().size() != 1) {
        const int offset = std::max(0, error.offset - 1);
        throw DecodingError::dataCorrupted(
            QStringLiteral("The data is not valid JSON (%1 at byte %2).")
                .arg(error.error != QJsonParseError::NoError ? error.errorString()
                                                             : QStringLiteral("more than one value"))
                .arg(offset));
    }
    return document.array().at(0);
}

QString formatDate(const QDateTime& date)
{
    return date.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime readDate(const QJsonValue& value, const QString& codingPath)
{
    if (value.isDouble()) {
        const double seconds = value.toDouble();
        // Beyond a few hundred million years QDateTime cannot hold the moment.
        if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13)
            throw DecodingError::dataCorrupted(QStringLiteral("Invalid date."), codingPath);
        static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QDateTime date = reference.addMSecs(qint64(std::llround(seconds * 1000.0)));
        if (!isWritableDate(date))
            throw DecodingError::dataCorrupted(QStringLiteral("Invalid date."), codingPath);
        return date;
    }
    if (!value.isString())
        throw JsonReader(value, codingPath).typeMismatch("text");
    if (const auto parsed = parseInternetDateTime(value.toString()); parsed && isWritableDate(*parsed))
        return *parsed;
    throw DecodingError::dataCorrupted(QStringLiteral("Invalid ISO date."), codingPath);
}

} // namespace VelmoraJSON
