#include "Utilities/CompactText.h"
#include "Models/RecordText.h"

#include <gtest/gtest.h>

namespace {

const QStringList samples = {QString(), QStringLiteral("Kind regards,\nAlex"),
    QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln"), QStringLiteral("\u4f60\u597d\uff0c\u4e16\u754c"),
    QStringLiteral("party \U0001F389\U0001F468\u200D\U0001F469 time"), QStringLiteral("cafe\u0301"),
    // A byte-order mark is a character like any other, even at the start.
    QStringLiteral("\ufeff"), QStringLiteral("\ufeff\ufeffhi\n")};

} // namespace

TEST(CompactText, GivesBackExactlyTheTextItWasMadeFrom)
{
    for (const QString& sample : samples) {
        const CompactText text(sample);
        EXPECT_EQ(text.toString(), sample);
        EXPECT_EQ(text.utf8(), sample.toUtf8());
        EXPECT_EQ(text.utf16Size(), sample.size());
        EXPECT_EQ(text.isEmpty(), sample.isEmpty());
        EXPECT_TRUE(text == sample);
        EXPECT_EQ(CompactText::fromUtf8(sample.toUtf8()), text);
        // Only the text's own bytes are held, whatever the conversion reserved.
        EXPECT_EQ(text.utf8().capacity(), text.utf8().size());
    }
}

TEST(CompactText, TellsPlainAsciiFromOtherText)
{
    EXPECT_TRUE(CompactText(QStringLiteral("Thanks, see you on Monday.\n")).isAscii());
    EXPECT_TRUE(CompactText().isAscii());
    EXPECT_FALSE(CompactText(QStringLiteral("a long text, long enough for whole words: na\u00efve")).isAscii());
    EXPECT_FALSE(CompactText(QStringLiteral("\u00e9")).isAscii());
}

TEST(CompactText, ComparesWithQStringsOfAnyLength)
{
    const CompactText text(QStringLiteral("K\u00f6ln"));
    EXPECT_TRUE(text == QStringLiteral("K\u00f6ln"));
    EXPECT_FALSE(text == QStringLiteral("Koln"));
    EXPECT_FALSE(text == QStringLiteral("K\u00f6lnx"));
    EXPECT_FALSE(text == QString());
    EXPECT_TRUE(text != QStringLiteral("K\u00f6l"));
    // Exact text, not canonical equivalence.
    EXPECT_FALSE(CompactText(QStringLiteral("caf\u00e9")) == QStringLiteral("cafe\u0301"));
}

TEST(CompactText, CopiesShareTheirBytesUntilOneChanges)
{
    const CompactText original(QStringLiteral("Best regards"));
    CompactText copy = original;
    EXPECT_TRUE(copy.isSharedWith(original));
    EXPECT_FALSE(CompactText(QStringLiteral("Best regards")).isSharedWith(original));

    copy += QStringLiteral(", \u00c5sa");
    EXPECT_FALSE(copy.isSharedWith(original));
    EXPECT_EQ(original.toString(), QStringLiteral("Best regards"));
    EXPECT_EQ(copy.toString(), QStringLiteral("Best regards, \u00c5sa"));

    // Halves of a character added one after the other make the character.
    CompactText halves(QString(QChar(0xD83C)));
    halves += QString(QChar(0xDF89));
    EXPECT_EQ(halves, CompactText(QStringLiteral("\U0001F389")));
}

TEST(CompactText, KeepsUnpairedSurrogatesExactly)
{
    QString broken = QStringLiteral("\u00e9a");
    broken.append(QChar(0xD800));
    broken.append(u'b');
    broken.append(QChar(0xDC00));
    broken.append(QStringLiteral("\U0001F389"));
    const CompactText text(broken);
    EXPECT_EQ(text.toString(), broken);
    EXPECT_EQ(text.utf16Size(), broken.size());
    EXPECT_TRUE(text == broken);
    EXPECT_FALSE(text == QStringLiteral("\u00e9a?b?\U0001F389"));
}

TEST(CompactText, RecordsCompareAndHashUnderCanonicalEquivalence)
{
    const CompactText composed(QStringLiteral("caf\u00e9"));
    const CompactText decomposed(QStringLiteral("cafe\u0301"));
    EXPECT_TRUE(RecordText::equal(composed, decomposed));
    EXPECT_EQ(RecordText::hash(7, composed), RecordText::hash(7, decomposed));
    // A text with other characters can still be equivalent to one in plain ASCII.
    const CompactText kelvin(QStringLiteral("20 \u212A"));
    const CompactText ascii(QStringLiteral("20 K"));
    EXPECT_TRUE(RecordText::equal(kelvin, ascii));
    EXPECT_EQ(RecordText::hash(7, kelvin), RecordText::hash(7, ascii));
    EXPECT_FALSE(RecordText::equal(ascii, CompactText(QStringLiteral("20 k"))));
}

TEST(CompactText, LowersAsQStringLowersInEveryScript)
{
    // Every character there is, and the cases lowered another way: U+0130, whose lower case
    // is two characters, and unpaired surrogates.
    QString everything;
    for (char32_t c = 0x20; c <= 0x10FFFF; ++c) {
        if (!QChar::isSurrogate(c))
            everything += QString::fromUcs4(&c, 1);
    }
    QString unpaired = QStringLiteral("\u00c5 A");
    unpaired += QChar(0xD800);
    unpaired += QStringLiteral("\u0391");
    QStringList texts = samples;
    texts << everything << QStringLiteral("\u0130stanbul \u00c5") << unpaired
          << QStringLiteral("\ufeff\u00c9COLE \u023a\u212a") << QStringLiteral("ASCII ONLY");
    for (const QString& text : texts)
        EXPECT_EQ(CompactText(text).loweredUtf8(), text.toLower().toUtf8()) << text.left(40).toStdString();
}

TEST(CompactText, FindsInItsLowerCaseWithoutLoweringACopy)
{
    // Every character in turn beside capitals and itself, looked for from each place a
    // search resumes at: where the text lowers in place, found where its lowered copy has it.
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QString one = QString::fromUcs4(&c, 1);
        const CompactText text(QStringLiteral("Q") + one + QStringLiteral("zA") + one + one);
        const QByteArray lowered = text.loweredUtf8();
        if (!text.lowersInPlace())
            continue;
        ASSERT_EQ(lowered.size(), text.utf8().size()) << quint32(c);
        const QByteArray character = one.toLower().toUtf8();
        for (const QByteArray& needle : QList<QByteArray>{character, "q" + character, character + "za",
                 "a" + character + character, character + character + "q"}) {
            for (const qsizetype from : {qsizetype(0), qsizetype(1), qsizetype(1 + character.size())})
                ASSERT_EQ(text.indexOfLowered(needle, from), lowered.indexOf(needle, from)) << quint32(c);
        }
    }
    // Those whose lower case takes another number of bytes, U+0130 lowered to two characters
    // and unpaired surrogates are lowered into a copy.
    QString unpaired = QStringLiteral("ab");
    unpaired += QChar(0xDC00);
    for (const QString& text :
        {QStringLiteral("x\u212a"), QStringLiteral("\u023a"), QStringLiteral("\u0130"), unpaired})
        EXPECT_FALSE(CompactText(text).lowersInPlace()) << text.toStdString();
    EXPECT_TRUE(CompactText(QStringLiteral("PLAIN")).lowersInPlace());
}
