// A differential test of reading and writing libraries: generated libraries with hostile but
// valid content, written in the encoder's layout and in others, must read the same through
// the quick reader as through the JSON parser, and read, write and read again to the same
// library and the same bytes.

#include "ModelTestSupport.h"
#include "Models/UserDataDecoder.h"
#include "Models/UserDataEncoder.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <iostream>
#include <random>
#include <variant>

namespace {

using Outcome = std::variant<UserData, QString>;

Outcome plainly(const QByteArray& bytes)
{
    try {
        return VelmoraJSON::decode<UserData>(bytes);
    } catch (const DecodingError& e) {
        return e.errorDescription();
    }
}

Outcome quickly(const QByteArray& bytes)
{
    try {
        return UserDataDecoder::decode(bytes);
    } catch (const DecodingError& e) {
        return e.errorDescription();
    }
}

bool same(const Outcome& a, const Outcome& b)
{
    if (a.index() != b.index())
        return false;
    if (const auto* text = std::get_if<QString>(&a))
        return *text == std::get<QString>(b);
    return UserData::identical(std::get<UserData>(a), std::get<UserData>(b));
}

QString describe(const Outcome& outcome)
{
    if (const auto* text = std::get_if<QString>(&outcome))
        return QStringLiteral("error: ") + *text;
    return QStringLiteral("a library of %1 shortcuts").arg(std::get<UserData>(outcome).shortcuts.size());
}

// Hostile libraries: every kind of character a user may type or paste, laid out by the
// encoder and by other writers.
class Generator {
public:
    explicit Generator(quint64 seed)
        : m_random(seed)
    {
    }

    int below(int n) { return int(m_random() % quint64(n)); }
    bool chance(int percent) { return below(100) < percent; }

    QString text(int pieces)
    {
        static const QStringList parts = {
            QStringLiteral("plain words "),
            QStringLiteral("\"quoted\" \\ back/slash\b\f\n\r\t"),
            QStringLiteral("\U0001F469\u200D\U0001F469\u200D\U0001F467"), // a family joined by ZWJ
            QStringLiteral("\U0001F44D\U0001F3FD"),
            QStringLiteral("e\u0301 a\u0308\u0323 \u00e9"), // combining marks and a composed letter
            QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627"),
            QStringLiteral("\u202e\u200f\u202a\u2066"), // right-to-left and override marks
            QStringLiteral("\u6f22\u5b57\u304b\u306a\uc548\ub155"),
            QString(QChar(0)),
            QString(QChar(0xD800)),
            QString(QChar(0xDFFF)),
            QString(QChar(0xFEFF)),
            QString(QChar(0xFFFE)),
            QStringLiteral("\u2028\u2029"),
            QStringLiteral("\x01\x1f\x7f"),
            QStringLiteral("\u212a"), // the Kelvin sign, canonically a K
            QStringLiteral("        {\n    ]\n    \"shortcuts\": ["),
        };
        QString out;
        if (chance(15))
            out += QChar(0xFEFF);
        for (int i = 0; i < pieces; ++i)
            out += parts[below(int(parts.size()))];
        if (out.isEmpty() || chance(10))
            out += QStringLiteral("x");
        return out;
    }

    QString id(int n)
    {
        // The same id with a byte-order mark before it is another id.
        const QString plain = QStringLiteral("s%1").arg(n);
        switch (below(6)) {
        case 0: return QChar(0xFEFF) + plain;
        case 1: return plain + text(1);
        default: return plain;
        }
    }

    qint64 order()
    {
        static const qint64 extremes[] = {0, -1, 9007199254740992LL, -9007199254740993LL,
            std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), 123456789012345LL};
        return chance(10) ? extremes[below(7)] : qint64(below(2000)) - 1000;
    }

    UserData library(int count, int longText = 0)
    {
        UserData data;
        const int folders = below(5);
        for (int i = 0; i < folders; ++i) {
            Group g;
            g.id = QStringLiteral("g%1").arg(i) + (chance(30) ? text(1) : QString());
            g.name = text(2);
            if (i > 0 && chance(50))
                g.parentGroupId = data.groups[below(i)].id;
            g.order = order();
            g.collapsed = chance(50);
            if (chance(50))
                g.icon = chance(50) ? QStringLiteral("\U0001F389") : text(1);
            if (chance(50))
                g.color = QStringLiteral("#FFAA00");
            if (chance(50))
                g.visibility = QStringLiteral("private");
            if (chance(20))
                g.shareId = text(1);
            data.groups.append(g);
        }
        for (int i = 0; i < count; ++i) {
            Shortcut s;
            s.id = id(i);
            s.trigger = chance(40) ? QStringLiteral("/t%1").arg(i) : text(1 + below(2));
            s.expansion = chance(40) ? QStringLiteral("Plain text number %1.").arg(i) : text(1 + below(8));
            if (!data.groups.isEmpty() && chance(60))
                s.groupId = data.groups[below(int(data.groups.size()))].id;
            s.order = order();
            if (chance(20))
                s.isExample = chance(50);
            data.shortcuts.append(s);
        }
        if (longText > 0 && !data.shortcuts.isEmpty()) {
            QString large;
            while (large.size() < longText)
                large += text(8);
            data.shortcuts[below(int(data.shortcuts.size()))].expansion = large;
        }
        if (chance(30))
            data.customIcons.append(CustomIcon{QStringLiteral("i1"), text(1), QStringLiteral("<svg/>")});
        for (const TombstoneKind kind : {TombstoneKind::groups, TombstoneKind::shortcuts, TombstoneKind::customIcons}) {
            if (chance(30))
                data.deletedIds.list(kind).append(Tombstone{QStringLiteral("gone") + text(1), text(1)});
        }
        return data;
    }

    // The JSON of `value` as another writer might lay it out: other white space, keys in any
    // order, escapes of every kind, numbers in other forms and members nobody knows.
    QByteArray foreign(const QJsonValue& value)
    {
        m_indent = chance(50) ? QByteArray() : QByteArray(1 + below(3), chance(50) ? ' ' : '\t');
        m_escapes = below(3);
        QByteArray out;
        write(out, value, 0);
        return out;
    }

private:
    void newline(QByteArray& out, int depth)
    {
        if (m_indent.isEmpty())
            return;
        out += '\n';
        for (int i = 0; i < depth; ++i)
            out += m_indent;
    }

    void hex(QByteArray& out, char16_t unit)
    {
        QByteArray digits = QByteArray::number(unit, 16).rightJustified(4, '0');
        out += "\\u" + (chance(50) ? digits.toUpper() : digits);
    }

    void string(QByteArray& out, const QString& text)
    {
        out += '"';
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t unit = text[i].unicode();
            const bool pair = QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            const bool escape = m_escapes == 1 ? unit >= 0x80 : m_escapes == 2 && chance(30);
            if (unit == '"' || unit == '\\') {
                out += '\\';
                out += char(unit);
            } else if (unit == '/' && chance(50)) {
                out += "\\/";
            } else if (unit < 0x20) {
                static const char shortForms[] = "\bb\ff\nn\rr\tt";
                const char* found = unit != 0 ? std::strchr(shortForms, char(unit)) : nullptr;
                if (found && chance(70)) {
                    out += '\\';
                    out += found[1];
                } else {
                    hex(out, unit);
                }
            } else if (QChar::isSurrogate(unit) && !pair) {
                hex(out, unit);
            } else if (escape) {
                hex(out, unit);
                if (pair)
                    hex(out, text[++i].unicode());
            } else {
                out += (pair ? text.mid(i++, 2) : QString(QChar(unit))).toUtf8();
            }
        }
        out += '"';
    }

    void number(QByteArray& out, const QJsonValue& value)
    {
        const qint64 n = value.toInteger();
        const bool small = n != 0 && n > -(1LL << 40) && n < (1LL << 40);
        switch (small ? below(5) : 0) {
        case 1: out += QByteArray::number(n) + ".0"; break;
        case 2: out += QByteArray::number(n) + "e0"; break;
        case 3: out += QByteArray::number(n) + "00E-2"; break;
        case 4: out += (n < 0 ? "-" : "") + QByteArray::number(std::abs(n) * 10) + "e-1"; break;
        default: out += QByteArray::number(n);
        }
    }

    QJsonValue unknownValue(int depth)
    {
        switch (below(depth > 3 ? 4 : 6)) {
        case 0: return 1e308;
        case 1: return -1.5e-300;
        case 2: return text(1);
        case 3: return QJsonValue::Null;
        case 4: return QJsonArray{unknownValue(depth + 1), unknownValue(depth + 1)};
        default: return QJsonObject{{QStringLiteral("shortcuts"), QJsonArray{unknownValue(depth + 1)}}};
        }
    }

    void write(QByteArray& out, const QJsonValue& value, int depth)
    {
        switch (value.type()) {
        case QJsonValue::Object: {
            const QJsonObject object = value.toObject();
            QStringList keys = object.keys();
            if (chance(50))
                std::shuffle(keys.begin(), keys.end(), m_random);
            QList<std::pair<QString, QJsonValue>> members;
            for (const QString& key : keys)
                members.append({key, object.value(key)});
            if (chance(15))
                members.insert(below(int(members.size()) + 1), {QStringLiteral("zz\u00fcnknown"), unknownValue(0)});
            out += '{';
            for (qsizetype i = 0; i < members.size(); ++i) {
                out += i ? "," : "";
                newline(out, depth + 1);
                string(out, members[i].first);
                out += m_indent.isEmpty() ? ":" : ": ";
                write(out, members[i].second, depth + 1);
            }
            newline(out, depth);
            out += '}';
            break;
        }
        case QJsonValue::Array: {
            const QJsonArray array = value.toArray();
            out += '[';
            for (qsizetype i = 0; i < array.size(); ++i) {
                out += i ? "," : "";
                newline(out, depth + 1);
                write(out, array.at(i), depth + 1);
            }
            newline(out, depth);
            out += ']';
            break;
        }
        case QJsonValue::String: string(out, value.toString()); break;
        case QJsonValue::Double:
            if (value.toDouble() == double(value.toInteger()))
                number(out, value);
            else
                out += QByteArray::number(value.toDouble(), 'g', 17);
            break;
        case QJsonValue::Bool: out += value.toBool() ? "true" : "false"; break;
        default: out += "null";
        }
    }

    std::mt19937_64 m_random;
    QByteArray m_indent;
    int m_escapes = 0;
};

// Changes to a file in the encoder's layout that only a reader of the whole structure sees
// through, each with what the parser reads from the changed file.
enum class Twist {
    none,
    laterEmptyList,
    listInsideUnknownMember,
    deepUnknownMember,
    shallowUnknownMember,
    itemOffItsLine,
    count
};

QByteArray twisted(const QByteArray& bytes, Twist twist)
{
    QByteArray out = bytes;
    const qsizetype item = out.indexOf("\n        {\n");
    switch (twist) {
    case Twist::laterEmptyList: out.insert(out.lastIndexOf('}'), ",\"shortcuts\" : []"); break;
    case Twist::listInsideUnknownMember:
        out.replace("\n    \"shortcuts\": [", "\n    \"trash\": {\n    \"shortcuts\": [");
        out.insert(out.lastIndexOf('}'), "}");
        break;
    case Twist::deepUnknownMember:
    case Twist::shallowUnknownMember:
        // The parser refuses more than 1,024 levels; the item itself lies four deep.
        if (item >= 0) {
            const int depth = twist == Twist::deepUnknownMember ? 1021 : 1020;
            out.insert(
                item + 11, "            \"aUnknown\": " + QByteArray(depth, '[') + QByteArray(depth, ']') + ",\n");
        }
        break;
    case Twist::itemOffItsLine: {
        // The last item starts on the line of the one before, which is then read with it.
        const qsizetype last = out.lastIndexOf("},\n        {\n");
        if (last >= 0)
            out.replace(last, 13, "},\n  {  ");
        break;
    }
    default: break;
    }
    return out;
}

struct Tally {
    int files = 0;
    int filesDiffering = 0;
    int differences = 0;
    QStringList examples;
    bool current = false;

    // Where the readers disagree, where a file does not read as the library it was made
    // from, and where a library read does not survive being written.
    int kinds[3] = {};

    void differs(int kind, const QString& what)
    {
        ++kinds[kind];
        ++differences;
        filesDiffering += !std::exchange(current, true);
        if (examples.size() < 10)
            examples.append(what);
    }
};

// Reads `bytes` both ways; when it reads, writes it and reads it back. `expected`, when
// given, is the library the file was made from.
void check(Tally& tally, const QString& name, const QByteArray& bytes, const UserData* expected)
{
    ++tally.files;
    tally.current = false;
    const Outcome plain = plainly(bytes);
    const Outcome quick = quickly(bytes);
    if (!same(plain, quick))
        tally.differs(0,
            name + QStringLiteral(": the parser read ") + describe(plain) + QStringLiteral(", the quick reader ")
                + describe(quick));
    const auto* read = std::get_if<UserData>(&plain);
    if (expected && (!read || !UserData::identical(*read, *expected)))
        tally.differs(1, name + QStringLiteral(": not read as written, ") + describe(plain));
    if (!read)
        return;
    UserDataEncoder encoder;
    const QByteArray first = encoder.encode(*read).bytes;
    const Outcome again = quickly(first);
    if (!same(again, plain)) {
        tally.differs(2, name + QStringLiteral(": written and read back as ") + describe(again));
        return;
    }
    if (VelmoraJSON::encode(std::get<UserData>(again)) != first)
        tally.differs(2, name + QStringLiteral(": written again to other bytes"));
}

} // namespace

TEST(LibraryFidelity, HostileLibrariesReadTheSameBothWaysAndSurviveASave)
{
    Tally tally;
    Generator generate(20261208);
    for (int n = 0; n < 320; ++n) {
        const int count = n == 0 ? 50000 : generate.below(n % 10 == 0 ? 400 : 40);
        const UserData data = generate.library(count, n == 1 ? 1024 * 1024 : 0);
        const QByteArray ours = UserDataEncoder().encode(data).bytes;
        const auto twist = Twist(n % int(Twist::count));
        if (twist == Twist::none) {
            check(tally, QStringLiteral("library %1 (our layout)").arg(n), ours, &data);
        } else {
            check(tally, QStringLiteral("library %1 (our layout, changed %2)").arg(n).arg(int(twist)),
                twisted(ours, twist), nullptr);
        }
        if (count < 1000)
            check(tally, QStringLiteral("library %1 (another layout)").arg(n), generate.foreign(data.toJson()), &data);
    }
    std::cout << "[ fidelity ] " << tally.files << " files tried, " << tally.filesDiffering << " of them with "
              << tally.differences << " differences (readers " << tally.kinds[0] << ", reading " << tally.kinds[1]
              << ", writing " << tally.kinds[2] << ")\n";
    EXPECT_EQ(tally.differences, 0) << tally.examples.join(u'\n').toStdString();
}

TEST(LibraryFidelity, TheQuickReaderServesOnlyTheTopLevelListTheParserKeeps)
{
    Generator generate(7);
    UserData data = generate.library(30);
    const QByteArray ours = UserDataEncoder().encode(data).bytes;
    for (const Twist twist : {Twist::laterEmptyList, Twist::listInsideUnknownMember, Twist::deepUnknownMember,
             Twist::shallowUnknownMember, Twist::itemOffItsLine}) {
        const QByteArray bytes = twisted(ours, twist);
        const Outcome plain = plainly(bytes);
        EXPECT_TRUE(same(quickly(bytes), plain)) << int(twist) << ": " << describe(quickly(bytes));
        const auto* read = std::get_if<UserData>(&plain);
        switch (twist) {
        case Twist::laterEmptyList:
        case Twist::listInsideUnknownMember: ASSERT_TRUE(read && read->shortcuts.isEmpty()); break;
        case Twist::deepUnknownMember: EXPECT_FALSE(read); break;
        default: ASSERT_TRUE(read && read->shortcuts.size() == 30);
        }
    }
}

TEST(LibraryFidelity, TextsBeginningWithAByteOrderMarkKeepIt)
{
    // Escaped by one writer, written as they are by another.
    for (const QByteArray& bom : {QByteArray("\\ufeff"), QByteArray("\xEF\xBB\xBF")}) {
        const QByteArray bytes = R"({"shortcuts": [{"id": ")" + bom + R"(s1", "trigger": ")" + bom
            + R"(;a", "expansion": ")" + bom + R"("}, {"id": "s1", "trigger": ";b", "expansion": ")" + bom + bom
            + R"(hi\n"}]})";
        for (const Outcome& read : {plainly(bytes), quickly(bytes)}) {
            ASSERT_TRUE(std::holds_alternative<UserData>(read)) << describe(read);
            const QList<Shortcut>& shortcuts = std::get<UserData>(read).shortcuts;
            EXPECT_EQ(shortcuts[0].id, QStringLiteral("\ufeffs1"));
            EXPECT_EQ(shortcuts[0].trigger, QStringLiteral("\ufeff;a"));
            EXPECT_EQ(shortcuts[0].expansion.toString(), QStringLiteral("\ufeff"));
            EXPECT_EQ(shortcuts[1].expansion.toString(), QStringLiteral("\ufeff\ufeffhi\n"));
            // Written and read again, nothing is lost.
            const QByteArray written = UserDataEncoder().encode(std::get<UserData>(read)).bytes;
            EXPECT_TRUE(UserData::identical(UserDataDecoder::decode(written), std::get<UserData>(read)));
        }
    }
}
