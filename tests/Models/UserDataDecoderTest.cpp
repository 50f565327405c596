#include "Models/UserDataDecoder.h"
#include "ModelTestSupport.h"
#include "Models/UserDataEncoder.h"

#include <QSet>
#include <variant>

namespace {

// Large enough to be read on several threads.
UserData library(int count = 5000)
{
    UserData d;
    Group g;
    g.id = QStringLiteral("G");
    g.name = QStringLiteral("Work");
    d.groups = {g};
    for (int i = 0; i < count; ++i) {
        // Texts the file holds as they are, with every short escape, and with what only a
        // JSON parser reads: characters beyond ASCII, escapes of control characters and of
        // unpaired surrogates.
        QString text = QStringLiteral("text %1 with \"quotes\",\n{ braces }\n        {\n and a line").arg(i);
        if (i % 11 == 0)
            text += QStringLiteral(" \\ back/slash\t\r\b\f");
        if (i % 13 == 0)
            text += QStringLiteral(" Gr\u00fc\u00dfe \U0001F389");
        if (i % 17 == 0)
            text += QChar(0x01) + QString(QChar(0xD800));
        d.shortcuts.append(Shortcut{QStringLiteral("S%1").arg(i), QStringLiteral("/t%1").arg(i), text,
            i % 3 ? std::optional(QStringLiteral("G")) : std::nullopt, i % 5 ? i : -i,
            i % 7 > 1 ? std::nullopt : std::optional(i % 7 == 0)});
    }
    // Several markers of each kind, not in the order they are written in.
    for (TombstoneKind kind : TombstoneKinds::all)
        d.recordDeletion(kind, {QStringLiteral("gone-z"), QStringLiteral("gone-a"), QStringLiteral("gone-m")});
    return d;
}

// The plain reading's outcome: the library, or the error's sentence.
std::variant<UserData, QString> plainly(const QByteArray& bytes)
{
    try {
        return VelmoraJSON::decode<UserData>(bytes);
    } catch (const DecodingError& e) {
        return e.errorDescription();
    }
}

std::variant<UserData, QString> quickly(const QByteArray& bytes)
{
    try {
        return UserDataDecoder::decode(bytes);
    } catch (const DecodingError& e) {
        return e.errorDescription();
    }
}

} // namespace

TEST(LibraryDecoder, ReadsWhatTheEncoderWroteAsThePlainReadingDoes)
{
    for (const int count : {5000, 40, 1}) {
        const UserData data = library(count);
        UserDataEncoder encoder;
        const QByteArray bytes = encoder.encode(data).bytes;
        ASSERT_EQ(bytes, VelmoraJSON::encode(data));
        const auto read = quickly(bytes);
        ASSERT_TRUE(std::holds_alternative<UserData>(read));
        EXPECT_EQ(std::get<UserData>(read), data);
    }
}

TEST(LibraryDecoder, ShortcutsOfAFolderShareTheTextOfItsId)
{
    const UserData read = UserDataDecoder::decode(VelmoraJSON::encode(library()));
    ASSERT_EQ(read.shortcuts.size(), 5000);
    QSet<const QChar*> copies;
    for (const Shortcut& shortcut : read.shortcuts) {
        if (shortcut.groupId)
            copies.insert(shortcut.groupId->constData());
    }
    // One copy for each of the few threads that read the list, not one for each shortcut.
    EXPECT_LE(copies.size(), 8);
}

TEST(LibraryDecoder, DamagedOrForeignFilesGiveThePlainReadingsResultOrError)
{
    const QByteArray bytes = VelmoraJSON::encode(library());
    const qsizetype middle = bytes.indexOf("\"S2500\"");
    ASSERT_GT(middle, 0);

    QByteArray brokenItem = bytes;
    brokenItem.replace(bytes.indexOf("\"order\"", middle), 7, "\"order\" 1");
    QByteArray wrongType = bytes;
    wrongType.replace(bytes.indexOf("\"trigger\"", middle), 9, "\"trigger\": 5, \"x\"");
    QByteArray duplicateId = bytes;
    duplicateId.replace(middle, 7, "\"S4000\"");
    QByteArray missingFolder = bytes;
    missingFolder.replace(bytes.indexOf("\"G\"", bytes.indexOf("\"S4001\"")), 3, "\"H\"");
    QByteArray shortcutsNull = VelmoraJSON::encode(UserData{});
    shortcutsNull.replace("\"shortcuts\": [\n    ]", "\"shortcuts\": null");
    const QByteArray withByteOrderMark = "\xEF\xBB\xBF" + bytes;
    const QByteArray compact = VelmoraJSON::encodeCompact(library().toJson());
    QByteArray twoLists = bytes;
    twoLists.replace("\n    \"groups\"", "\n    \"shortcuts\": [\n    ],\n    \"groups\"");
    // Within texts and numbers the file could hold what only a parser tells right or wrong.
    const qsizetype text = bytes.indexOf("\"text ", middle) + 1;
    QByteArray controlCharacter = bytes;
    controlCharacter.insert(text, '\x01');
    QByteArray unknownEscape = bytes;
    unknownEscape.insert(text, "\\x");
    QByteArray unicodeEscapes = bytes;
    unicodeEscapes.insert(text, "\\u00e9\\ud83c\\udf89\\u0041");
    QByteArray invalidUtf8 = bytes;
    invalidUtf8.insert(text, "\xC3\x28");
    QByteArray largeOrder = bytes;
    largeOrder.replace(bytes.indexOf("\"order\": ", middle), 10, "\"order\": 123456789012345678");
    QByteArray fractionalOrder = bytes;
    fractionalOrder.replace(bytes.indexOf("\"order\": ", middle), 10, "\"order\": 2.5e0, \"order\": ");
    QByteArray leadingZero = bytes;
    leadingZero.replace(bytes.indexOf("\"order\": ", middle), 10, "\"order\": 0");

    for (const QByteArray& input : {brokenItem, wrongType, duplicateId, missingFolder, shortcutsNull, withByteOrderMark,
             compact, twoLists, bytes.first(bytes.size() - 3), controlCharacter, unknownEscape, unicodeEscapes,
             invalidUtf8, largeOrder, fractionalOrder, leadingZero}) {
        const auto plain = plainly(input);
        const auto quick = quickly(input);
        EXPECT_EQ(plain.index(), quick.index());
        if (std::holds_alternative<QString>(plain) && std::holds_alternative<QString>(quick)) {
            EXPECT_EQ(std::get<QString>(quick), std::get<QString>(plain));
        }
        if (std::holds_alternative<UserData>(plain) && std::holds_alternative<UserData>(quick)) {
            EXPECT_EQ(std::get<UserData>(quick), std::get<UserData>(plain));
        }
    }
}

TEST(LibraryDecoder, TextsBeyondAsciiReadAsThePlainReadingReadsThem)
{
    const QByteArray bytes = VelmoraJSON::encode(library(40));
    // Texts as a file may hold them between the quotation marks: characters of every length
    // in UTF-8, escaped pairs and unpaired surrogates, escapes beside other characters, marks,
    // and what is not UTF-8 or not an escape.
    const QList<QByteArray> texts = {"caf\xC3\xA9 Stra\xC3\x9F" "e \xE6\x9D\xB1\xE4\xBA\xAC \xCE\xB1\xCE\xB8",
        "\xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "\\ud83d\\ude00 \\uD83D\\uDE00 \\u00e9\\u4E16",
        "\\ud800", "a\\udc00b", "\\udc00\\ud800", "\\ud83d\\ud83d\\ude00", "\\ud83d\xF0\x9F\x98\x80",
        "\xF0\x9F\x98\x80\\ude00", "x\\u0000y", QByteArray("x\0y", 3), "\\\"\xC3\xA9\\n\\t\\\\\\/\\b\\f\\r\xC3\xA9",
        "\xEF\xBB\xBFstart", "\\\"\xEF\xBB\xBF", "\\ufeff\xEF\xBB\xBF", "mid\xEF\xBB\xBF", "\xEF\xBF\xBE \xF4\x8F\xBF\xBF \x7F",
        "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xED\xBF\xBF", "end \xE6\x97", "\x80 stray",
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC3\xA9\\u12G4", "\xC3\xA9\\u12", "\xC3\xA9\\x", "\xC3\xA9\x01"};
    const qsizetype item = bytes.indexOf("\"S20\"");
    ASSERT_GT(item, 0);
    const qsizetype expansion = bytes.lastIndexOf("\"expansion\": \"", item) + 14;
    const qsizetype expansionEnd = bytes.indexOf("\",\n", expansion);
    const qsizetype trigger = bytes.indexOf("\"trigger\": \"", item) + 12;
    const qsizetype triggerEnd = bytes.indexOf('"', trigger);
    for (const QByteArray& text : texts) {
        QByteArray inExpansion = bytes;
        inExpansion.replace(expansion, expansionEnd - expansion, text);
        QByteArray inTrigger = bytes;
        inTrigger.replace(trigger, triggerEnd - trigger, QByteArray("/" + text));
        QByteArray inId = bytes;
        inId.replace(item + 1, 3, QByteArray(text + "S20"));
        for (const QByteArray& input : {inExpansion, inTrigger, inId}) {
            const auto plain = plainly(input);
            const auto quick = quickly(input);
            ASSERT_EQ(plain.index(), quick.index()) << text.toHex().toStdString();
            if (std::holds_alternative<QString>(plain))
                EXPECT_EQ(std::get<QString>(quick), std::get<QString>(plain)) << text.toHex().toStdString();
            else
                EXPECT_TRUE(UserData::identical(std::get<UserData>(quick), std::get<UserData>(plain)))
                    << text.toHex().toStdString();
        }
    }
}
