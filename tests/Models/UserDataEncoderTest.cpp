#include "Models/UserDataEncoder.h"
#include "ModelTestSupport.h"

#include <cstring>

namespace {

Shortcut shortcut(int n, const QString& expansion)
{
    Shortcut s;
    s.id = QStringLiteral("ID-%1").arg(n);
    s.trigger = QStringLiteral(";t%1").arg(n);
    s.expansion = expansion;
    s.order = n;
    return s;
}

// Folders, tombstones and shortcuts with every optional field and the texts the coder escapes.
UserData sample()
{
    UserData data = UserData::empty();
    Group folder;
    folder.id = QStringLiteral("F-1");
    folder.name = QStringLiteral("Clients \u00E9");
    data.groups.append(folder);
    data.shortcuts.append(shortcut(1, QStringLiteral("Plain text")));
    data.shortcuts.append(
        shortcut(2, QStringLiteral("Quotes \" and \\ slashes\nnew line\ttab\u0001 \u2028 caf\u00E9 \U0001F600")));
    data.shortcuts[1].groupId = folder.id;
    data.shortcuts[1].isExample = true;
    data.shortcuts.append(shortcut(3, QStringLiteral("Third")));
    data.shortcuts[2].order = -9007199254740993;
    data.recordDeletion(TombstoneKind::shortcuts, {QStringLiteral("ID-0")});
    return data;
}

::testing::AssertionResult writesAsThePlainCoder(UserDataEncoder& encoder, const UserData& data)
{
    const VelmoraJSON::Encoded encoded = encoder.encode(data);
    const QByteArray plain = VelmoraJSON::encode(data);
    if (encoded.bytes != plain)
        return ::testing::AssertionFailure() << "kept:\n"
                                             << encoded.bytes.constData() << "\nplain:\n"
                                             << plain.constData();
    if (!encoded.readsBackAsGiven)
        return ::testing::AssertionFailure() << "the bytes were not vouched for";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(UserDataEncoder, WritesEveryLibraryAsThePlainCoder)
{
    UserDataEncoder encoder;
    EXPECT_TRUE(writesAsThePlainCoder(encoder, UserData::empty()));
    EXPECT_TRUE(writesAsThePlainCoder(encoder, sample()));
    UserData one = UserData::empty();
    one.shortcuts.append(shortcut(7, QStringLiteral("x")));
    EXPECT_TRUE(writesAsThePlainCoder(encoder, one));
}

TEST(UserDataEncoder, KeptTextsStillGiveThePlainCodersBytesAfterEveryKindOfEdit)
{
    UserDataEncoder encoder;
    UserData data = sample();
    ASSERT_TRUE(writesAsThePlainCoder(encoder, data));

    data.shortcuts[0].expansion += QStringLiteral(" (edited)");
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts.prepend(shortcut(4, QStringLiteral("Added first")));
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts.move(3, 1);
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts.removeAt(2);
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts[1].groupId.reset();
    data.shortcuts[1].isExample = false;
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    // Equal as text, different as bytes: the shortcut must be written anew.
    data.shortcuts[0].expansion = QStringLiteral("cafe\u0301");
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts[0].expansion = QStringLiteral("caf\u00E9");
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.groups.clear();
    for (Shortcut& s : data.shortcuts)
        s.groupId.reset();
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts.clear();
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
}

TEST(UserDataEncoder, HalvesOfCharactersAreWrittenAsEscapesAndKeptExactly)
{
    UserDataEncoder encoder;
    UserData data = sample();
    data.shortcuts[1].expansion = QStringLiteral("broken ") + QChar(0xD800);
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    data.shortcuts[1].expansion = QStringLiteral("broken ") + QChar(0xDC00);
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    const UserData read = VelmoraJSON::decode<UserData>(encoder.encode(data).bytes);
    EXPECT_EQ(read.shortcuts[1].expansion.toString(), QStringLiteral("broken ") + QChar(0xDC00));
}

TEST(UserDataEncoder, TextsTakenFromTheLoadedFileGiveThePlainCodersBytes)
{
    UserData data = sample();
    for (int n = 10; n < 2600; ++n)
        data.shortcuts.append(shortcut(n, QStringLiteral("Text %1").arg(n)));
    UserDataEncoder encoder;
    encoder.adopt(VelmoraJSON::encode(data), data);
    data.shortcuts[1200].expansion = QStringLiteral("edited");
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
}

TEST(UserDataEncoder, AFileWrittenInAnotherFormIsNeverCopied)
{
    const UserData data = sample();
    QByteArray foreign = VelmoraJSON::encode(data);
    foreign.replace("Plain text", "Plain\\u0020text");
    ASSERT_EQ(VelmoraJSON::decode<UserData>(foreign), data);
    UserDataEncoder encoder;
    encoder.adopt(foreign, data);
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));

    UserDataEncoder compact;
    compact.adopt(VelmoraJSON::encodeCompact(JsonCoding<UserData>::encode(data)), data);
    EXPECT_TRUE(writesAsThePlainCoder(compact, data));
}

TEST(UserDataEncoder, ALaterLoadReplacesTheTextsOfAnEarlierOne)
{
    UserData first = sample();
    for (int n = 10; n < 2600; ++n)
        first.shortcuts.append(shortcut(n, QStringLiteral("First %1").arg(n)));
    UserData second = first;
    for (Shortcut& s : second.shortcuts)
        s.expansion += QStringLiteral(" again");
    UserDataEncoder encoder;
    encoder.adopt(VelmoraJSON::encode(first), first);
    encoder.adopt(VelmoraJSON::encode(second), second);
    EXPECT_TRUE(writesAsThePlainCoder(encoder, second));
    EXPECT_TRUE(writesAsThePlainCoder(encoder, first));
}

namespace {

// Reads from `bytes` as the store reads the file the last save wrote.
UserDataEncoder::Previous previousOf(const QByteArray& bytes, int* reads = nullptr)
{
    return {bytes.size(), [bytes, reads](qsizetype offset, qsizetype size, char* into) {
                if (offset < 0 || offset + size > bytes.size())
                    return false;
                if (reads)
                    ++*reads;
                std::memcpy(into, bytes.constData() + offset, size_t(size));
                return true;
            }};
}

UserData larger(const QString& text)
{
    UserData data = sample();
    for (int n = 10; n < 2600; ++n)
        data.shortcuts.append(shortcut(n, text.arg(n)));
    return data;
}

} // namespace

TEST(UserDataEncoder, TextsCopiedFromThePreviousBytesGiveThePlainCodersBytes)
{
    UserData data = larger(QStringLiteral("Text %1"));
    UserDataEncoder encoder;
    QByteArray written = encoder.encode(data).bytes;
    // After a save, an edit, a removal and a move, and after a load.
    for (int step = 0; step < 4; ++step) {
        if (step == 0)
            data.shortcuts[1200].expansion = QStringLiteral("edited");
        if (step == 1)
            data.shortcuts.removeAt(7);
        if (step == 2)
            data.shortcuts.move(2000, 3);
        if (step == 3)
            encoder.adopt(written, data);
        int reads = 0;
        const VelmoraJSON::Encoded encoded = encoder.encode(data, previousOf(written, &reads));
        EXPECT_GT(reads, 0) << step;
        EXPECT_EQ(encoded.bytes, VelmoraJSON::encode(data)) << step;
        EXPECT_TRUE(encoded.readsBackAsGiven) << step;
        written = encoded.bytes;
    }
}

TEST(UserDataEncoder, PreviousBytesThatAreNoLongerThereAreNotCopied)
{
    const UserData data = larger(QStringLiteral("Text %1"));
    UserDataEncoder encoder;
    const QByteArray written = encoder.encode(data).bytes;
    // Other bytes of the same size: a write that failed, or another program's.
    QByteArray other = written;
    other.replace("Text 1999", "Tekst 199");
    ASSERT_EQ(other.size(), written.size());
    EXPECT_EQ(encoder.encode(data, previousOf(other)).bytes, written);
    // Bytes that cannot be read, or not all of them.
    EXPECT_EQ(encoder.encode(data, {written.size(), [](qsizetype, qsizetype, char*) { return false; }}).bytes, written);
    EXPECT_EQ(encoder.encode(data, previousOf(written.first(written.size() - 1))).bytes, written);
}

TEST(UserDataEncoder, TextsTakenFromTheFileInPiecesAreCopiedOnlyWhileItIsUnchanged)
{
    const UserData data = larger(QStringLiteral("A text of a library larger than one piece read, number %1"));
    const QByteArray written = VelmoraJSON::encode(data);
    for (const bool unchanged : {true, false}) {
        UserDataEncoder encoder;
        encoder.adopt(previousOf(written), [unchanged] { return unchanged; }, data);
        int reads = 0;
        const VelmoraJSON::Encoded encoded = encoder.encode(data, previousOf(written, &reads));
        EXPECT_EQ(reads > 0, unchanged);
        EXPECT_EQ(encoded.bytes, written);
        EXPECT_TRUE(encoded.readsBackAsGiven);
    }
}

TEST(UserDataEncoder, TextsLeftToBeTakenLaterAreTakenByTheFirstSaveIfNotBefore)
{
    UserData data = larger(QStringLiteral("A text of a library whose load is learnt from later, number %1"));
    const QByteArray written = VelmoraJSON::encode(data);
    data.shortcuts[1500].expansion = QStringLiteral("edited");
    for (const bool startedBeforeTheSave : {false, true}) {
        UserDataEncoder encoder;
        encoder.adoptLater(previousOf(written), [] { return true; }, VelmoraJSON::decode<UserData>(written));
        if (startedBeforeTheSave)
            encoder.startAdopting();
        int reads = 0;
        const VelmoraJSON::Encoded encoded = encoder.encode(data, previousOf(written, &reads));
        EXPECT_GT(reads, 0);
        EXPECT_EQ(encoded.bytes, VelmoraJSON::encode(data));
        EXPECT_TRUE(encoded.readsBackAsGiven);
    }
}

TEST(UserDataEncoder, WritesTextsInEveryScriptAsThePlainCoder)
{
    QString unpaired = QStringLiteral("a");
    unpaired += QChar(0xD800);
    unpaired += QChar(0xDBFF);
    unpaired += QStringLiteral("\U0001F600");
    unpaired += QChar(0xDFFF);
    QString reversed = QString(QChar(0xDC00)) + QChar(0xD800);
    const QStringList texts = {QStringLiteral("caf\u00e9 Stra\u00dfe \u6771\u4eac \u03b1\u03b8 \U0001F44D\U0001F3FD"),
        unpaired, reversed, QString(QChar(0xD83D)), QStringLiteral("\ufeffstarts with a mark"),
        QStringLiteral("quote then mark \"\ufeff and \\\ufeff"), QStringLiteral("mid\ufeff"),
        QStringLiteral("\u0000\u0001\u001f\u007f\u0080\u2028\ufffe\U0010FFFF"), QStringLiteral("\b\f\n\r\t\"\\/")};
    UserDataEncoder encoder;
    UserData data = sample();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        Shortcut s = shortcut(int(10 + i), texts[i]);
        // The texts a record keeps as QStrings go the same way.
        if (i % 2 == 0)
            s.trigger = QStringLiteral("/") + texts[i];
        else
            s.id = texts[i] + QString::number(i);
        data.shortcuts.append(s);
    }
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    // Written again from the bytes kept, and with each text changed in turn.
    EXPECT_TRUE(writesAsThePlainCoder(encoder, data));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        data.shortcuts[data.shortcuts.size() - 1 - i].expansion = texts[i] + texts[(i + 1) % texts.size()];
        EXPECT_TRUE(writesAsThePlainCoder(encoder, data)) << i;
    }
}
