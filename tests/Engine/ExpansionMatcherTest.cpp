#include "Engine/ExpansionMatcher.h"
#include "Utilities/Text.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QList<Shortcut> shortcuts(std::initializer_list<std::pair<QString, QString>> pairs)
{
    QList<Shortcut> list;
    for (const auto& [trigger, expansion] : pairs)
        list.append(
            Shortcut{QString::number(list.size()), trigger, expansion, std::nullopt, list.size(), std::nullopt});
    return list;
}

ExpansionMatcher loaded(std::initializer_list<std::pair<QString, QString>> pairs)
{
    ExpansionMatcher matcher;
    matcher.update(shortcuts(pairs));
    return matcher;
}

// Appends one key per character and answers the first match.
std::optional<ExpansionMatcher::Entry> typeInto(ExpansionMatcher& matcher, const QString& text)
{
    std::optional<ExpansionMatcher::Entry> match;
    for (const QString& character : Text::graphemes(text)) {
        if (auto found = matcher.append(character); found && !match)
            match = found;
    }
    return match;
}

QStringList triggers(const ExpansionMatcher& matcher)
{
    QStringList list;
    for (const ExpansionMatcher::Entry& entry : matcher.entries())
        list.append(entry.trigger);
    return list;
}

} // namespace

TEST(ExpansionMatcherTriggers, EmptyOrAllDroppedListMatchesNothingAndKeepsNoBuffer)
{
    ExpansionMatcher empty;
    empty.update({});
    EXPECT_EQ(empty.maximumLength(), 0);
    EXPECT_FALSE(empty.append(QStringLiteral("a")));
    EXPECT_TRUE(empty.buffer().isEmpty());

    ExpansionMatcher dropped
        = loaded({{QString(), QStringLiteral("x")}, {QStringLiteral("a\tb"), QStringLiteral("y")}});
    EXPECT_EQ(dropped.maximumLength(), 0);
    EXPECT_FALSE(typeInto(dropped, QStringLiteral("ab")));
    EXPECT_TRUE(dropped.buffer().isEmpty());
}

TEST(ExpansionMatcherTriggers, DuplicatedTriggerExpandsForNoneOfItsShortcuts)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("/x"), QStringLiteral("one")},
        {QStringLiteral("/x"), QStringLiteral("two")}, {QStringLiteral("/y"), QStringLiteral("three")}});
    EXPECT_EQ(triggers(matcher), QStringList({QStringLiteral("/y")}));
    EXPECT_FALSE(typeInto(matcher, QStringLiteral("/x")));
    EXPECT_EQ(typeInto(matcher, QStringLiteral("/y"))->expansion, QStringLiteral("three"));
}

TEST(ExpansionMatcherTriggers, DuplicatedTriggerInALargeLibraryExpandsForNoneOfItsShortcuts)
{
    // Past a few dozen shortcuts the matcher is built whole instead of shortcut by shortcut.
    QList<Shortcut> library;
    for (int i = 0; i < 100; ++i)
        library.append(Shortcut{
            QString::number(i), QStringLiteral("/t%1").arg(i), QStringLiteral("x"), std::nullopt, i, std::nullopt});
    library[10].trigger = library[20].trigger = QStringLiteral("/pair");
    library[30].trigger = library[40].trigger = library[50].trigger = QStringLiteral("/three");
    ExpansionMatcher matcher;
    matcher.update(library);
    EXPECT_EQ(matcher.entries().size(), 95);
    EXPECT_FALSE(typeInto(matcher, QStringLiteral("/pair")));
    EXPECT_FALSE(typeInto(matcher, QStringLiteral("/three")));
    EXPECT_EQ(typeInto(matcher, QStringLiteral("/t9"))->shortcutId, QStringLiteral("9"));
}

TEST(ExpansionMatcherTriggers, CanonicallyEquivalentTriggersCountAsDuplicates)
{
    ExpansionMatcher matcher = loaded(
        {{QStringLiteral("caf\u00e9"), QStringLiteral("1")}, {QStringLiteral("cafe\u0301"), QStringLiteral("2")}});
    EXPECT_TRUE(matcher.entries().isEmpty());
}

TEST(ExpansionMatcherTriggers, ControlAndSeparatorCharactersDropATriggerButSpacesAndJoinersDoNot)
{
    const QStringList bad = {QStringLiteral("a\tb"), QStringLiteral("a\nb"), QStringLiteral("a\rb"),
        QStringView(u"a\u0000b", 3).toString(), QStringLiteral("a\u007fb"), QStringLiteral("a\u0085b"),
        QStringLiteral("a\u2028b"), QStringLiteral("a\u2029b")};
    for (const QString& trigger : bad) {
        ExpansionMatcher matcher;
        matcher.update(shortcuts({{trigger, QStringLiteral("x")}}));
        EXPECT_TRUE(matcher.entries().isEmpty()) << trigger.toStdString();
    }
    ExpansionMatcher matcher = loaded(
        {{QStringLiteral("a b"), QStringLiteral("space")}, {QStringLiteral("a\u200Db"), QStringLiteral("joiner")}});
    EXPECT_EQ(matcher.entries().size(), 2);
    EXPECT_EQ(typeInto(matcher, QStringLiteral("a b"))->expansion, QStringLiteral("space"));
}

TEST(ExpansionMatcherTriggers, LongerTriggersComeFirstThenScalarOrder)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("/ba"), QString()}, {QStringLiteral("b"), QString()},
        {QStringLiteral("/ab"), QString()}, {QStringLiteral("/sign"), QString()},
        // U+FF01 sorts before U+1F600 by scalar value, after it by UTF-16 unit.
        {QStringLiteral("\U0001F600!"), QString()}, {QStringLiteral("\uFF01!"), QString()}});
    EXPECT_EQ(triggers(matcher),
        QStringList({QStringLiteral("/sign"), QStringLiteral("/ab"), QStringLiteral("/ba"), QStringLiteral("\uFF01!"),
            QStringLiteral("\U0001F600!"), QStringLiteral("b")}));
    EXPECT_EQ(matcher.maximumLength(), 5);
}

TEST(ExpansionMatcherTriggers, EmojiOfSeveralScalarsIsOneCharacter)
{
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    ExpansionMatcher matcher = loaded({{family, QStringLiteral("family")}});
    EXPECT_EQ(matcher.maximumLength(), 1);
    EXPECT_EQ(matcher.append(family)->expansion, QStringLiteral("family"));
}

TEST(ExpansionMatcherTriggers, UpdateAlwaysEmptiesTheBuffer)
{
    const QList<Shortcut> list = shortcuts({{QStringLiteral("/sig"), QStringLiteral("x")}});
    ExpansionMatcher matcher;
    matcher.update(list);
    typeInto(matcher, QStringLiteral("/si"));
    matcher.update(list);
    EXPECT_TRUE(matcher.buffer().isEmpty());
    EXPECT_FALSE(matcher.append(QStringLiteral("g")));
}

TEST(ExpansionMatcherTyping, LongestTriggerTheBufferEndsWithWins)
{
    ExpansionMatcher matcher
        = loaded({{QStringLiteral("ab"), QStringLiteral("E1")}, {QStringLiteral("b"), QStringLiteral("E2")}});
    EXPECT_EQ(typeInto(matcher, QStringLiteral("ab")),
        (ExpansionMatcher::Entry{QStringLiteral("ab"), QStringLiteral("E1"), QStringLiteral("0")}));
    EXPECT_EQ(typeInto(matcher, QStringLiteral("cb")),
        (ExpansionMatcher::Entry{QStringLiteral("b"), QStringLiteral("E2"), QStringLiteral("1")}));

    ExpansionMatcher sig
        = loaded({{QStringLiteral("/sig"), QStringLiteral("long")}, {QStringLiteral("sig"), QStringLiteral("short")}});
    EXPECT_EQ(typeInto(sig, QStringLiteral("/sig"))->expansion, QStringLiteral("long"));
    EXPECT_EQ(typeInto(sig, QStringLiteral("xsig"))->expansion, QStringLiteral("short"));
}

TEST(ExpansionMatcherTyping, ShorterTriggerFiresBeforeALongerOneCanBeCompleted)
{
    ExpansionMatcher matcher
        = loaded({{QStringLiteral("sig"), QStringLiteral("a")}, {QStringLiteral("sign"), QStringLiteral("b")}});
    EXPECT_FALSE(matcher.append(QStringLiteral("s")));
    EXPECT_FALSE(matcher.append(QStringLiteral("i")));
    EXPECT_EQ(matcher.append(QStringLiteral("g"))->trigger, QStringLiteral("sig"));
    EXPECT_FALSE(matcher.append(QStringLiteral("n")));
}

TEST(ExpansionMatcherTyping, BufferKeepsOnlyTheLongestTriggersLength)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("xyz"), QString()}});
    EXPECT_FALSE(typeInto(matcher, QStringLiteral("abcdef")));
    EXPECT_EQ(matcher.buffer(), QStringLiteral("def"));
}

TEST(ExpansionMatcherTyping, EmptyTextOrEditingControlsEmptyTheBuffer)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("/sig"), QString()}});
    for (const QString& text : {QString(), QStringLiteral("\r"), QStringLiteral("\t"), QStringLiteral("x\ny")}) {
        typeInto(matcher, QStringLiteral("/si"));
        EXPECT_FALSE(matcher.append(text));
        EXPECT_TRUE(matcher.buffer().isEmpty());
        EXPECT_FALSE(matcher.append(QStringLiteral("g")));
    }
}

TEST(ExpansionMatcherTyping, SeveralCharactersOfOneKeyAreAppendedWhole)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("/xy"), QStringLiteral("E")}});
    EXPECT_FALSE(matcher.append(QStringLiteral("/")));
    EXPECT_EQ(matcher.append(QStringLiteral("xy"))->expansion, QStringLiteral("E"));
}

TEST(ExpansionMatcherTyping, MatchEmptiesTheBufferSoTheLastCharacterDoesNotMatchAgain)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("aa"), QStringLiteral("E")}});
    EXPECT_TRUE(typeInto(matcher, QStringLiteral("aa")));
    EXPECT_TRUE(matcher.buffer().isEmpty());
    EXPECT_FALSE(matcher.append(QStringLiteral("a")));
}

TEST(ExpansionMatcherTyping, CanonicallyEquivalentTypingMatchesAndAccentsJoinTheirLetter)
{
    ExpansionMatcher matcher
        = loaded({{QStringLiteral("caf\u00e9"), QStringLiteral("coffee")}, {QStringLiteral("e"), QStringLiteral("E")}});
    // A combining accent typed after "e" turns that character into "é": "e" no longer ends the buffer.
    EXPECT_FALSE(typeInto(matcher, QStringLiteral("caf")));
    EXPECT_EQ(matcher.append(QStringLiteral("e"))->trigger, QStringLiteral("e"));
    typeInto(matcher, QStringLiteral("caf"));
    EXPECT_EQ(matcher.append(QStringLiteral("e\u0301"))->expansion, QStringLiteral("coffee"));

    ExpansionMatcher accent = loaded({{QStringLiteral("\u0301"), QStringLiteral("lone accent")}});
    EXPECT_FALSE(accent.append(QStringLiteral("e\u0301")));
}

// The matcher looks triggers up by the buffer's endings instead of testing every entry; it
// must give the same answer as testing the entries in order, character by character.
namespace {

bool endsWithCharacters(const QStringList& buffer, const QStringList& trigger)
{
    if (trigger.size() > buffer.size())
        return false;
    const qsizetype offset = buffer.size() - trigger.size();
    for (qsizetype i = 0; i < trigger.size(); ++i) {
        if (!Text::equal(buffer.at(offset + i), trigger.at(i)))
            return false;
    }
    return true;
}

std::optional<ExpansionMatcher::Entry> scanInOrder(const ExpansionMatcher& matcher, const QString& bufferAfterAppend)
{
    const QStringList buffer = Text::graphemes(bufferAfterAppend);
    for (const ExpansionMatcher::Entry& entry : matcher.entries()) {
        if (endsWithCharacters(buffer, Text::graphemes(entry.trigger)))
            return entry;
    }
    return std::nullopt;
}

// Whether the buffer ends with the first characters of some trigger, looked for entry by entry.
bool endsWithABeginning(const ExpansionMatcher& matcher, const QStringList& buffer)
{
    for (const ExpansionMatcher::Entry& entry : matcher.entries()) {
        const QStringList trigger = Text::graphemes(entry.trigger);
        for (qsizetype length = 1; length <= trigger.size(); ++length) {
            if (endsWithCharacters(buffer, trigger.first(length)))
                return true;
        }
    }
    return false;
}

QString randomText(QRandomGenerator& random, int maxLength)
{
    static const QStringList alphabet = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("/"),
        QStringLiteral("\u00e9"), QStringLiteral("e\u0301"), QStringLiteral("e"), QStringLiteral("\u0301"),
        QStringLiteral("\U0001F44D"), QStringLiteral("\U0001F3FD"), QStringLiteral("\u200D"), QStringLiteral(" ")};
    QString text;
    const int length = 1 + int(random.bounded(maxLength));
    for (int i = 0; i < length; ++i)
        text += alphabet.at(random.bounded(alphabet.size()));
    return text;
}

} // namespace

TEST(ExpansionMatcherIndex, AnswersAndBeginningsAsAScanOfTheEntriesInOrder)
{
    QRandomGenerator random(20250301);
    int matches = 0;
    for (int round = 0; round < 200; ++round) {
        QList<Shortcut> list;
        const int count = 1 + int(random.bounded(40));
        for (int i = 0; i < count; ++i)
            list.append(
                Shortcut{QString::number(i), randomText(random, 4), QString::number(i), std::nullopt, i, std::nullopt});
        ExpansionMatcher matcher;
        matcher.update(list);
        for (int key = 0; key < 60; ++key) {
            const QString text = randomText(random, 2);
            const qint64 maximum = matcher.maximumLength();
            QStringList expectedBuffer = Text::graphemes(QString(matcher.buffer() + text));
            if (expectedBuffer.size() > maximum)
                expectedBuffer.remove(0, expectedBuffer.size() - maximum);
            const std::optional<ExpansionMatcher::Entry> expected
                = maximum < 1 ? std::nullopt : scanInOrder(matcher, expectedBuffer.join(QString()));
            ASSERT_EQ(matcher.mayContinue(text), maximum >= 1 && endsWithABeginning(matcher, expectedBuffer))
                << "round " << round << " key " << key;
            const std::optional<ExpansionMatcher::Entry> actual = matcher.append(text);
            ASSERT_EQ(actual, expected) << "round " << round << " key " << key;
            matches += actual ? 1 : 0;
            if (!expected) {
                ASSERT_EQ(matcher.buffer(), maximum < 1 ? QString() : expectedBuffer.join(QString()));
            }
        }
    }
    EXPECT_GT(matches, 500);
}

TEST(ExpansionMatcherTriggers, AskingWhetherAKeyWouldMatchChangesNothing)
{
    ExpansionMatcher matcher = loaded({{QStringLiteral("/sig"), QStringLiteral("S")}});
    typeInto(matcher, QStringLiteral("a/si"));
    EXPECT_TRUE(matcher.wouldMatch(QStringLiteral("g")));
    EXPECT_FALSE(matcher.wouldMatch(QStringLiteral("x")));
    EXPECT_EQ(matcher.buffer(), QStringLiteral("a/si"));
    EXPECT_TRUE(matcher.append(QStringLiteral("g")));
}

// ------------------------------------------------------------------ following edits

TEST(ExpansionMatcherEdits, FollowingEditsOneByOneEndsWhereARebuildDoes)
{
    QList<Shortcut> library = shortcuts({{"/a", "1"}, {"/b", "2"}, {"/c", "3"}, {"/dup", "4"}, {"/dup", "5"},
        {"/e", "6"}, {QStringLiteral("caf\u00e9"), "7"}});
    ExpansionMatcher followed;
    followed.update(library);
    const auto expectRebuilt = [&](const char* step) {
        ExpansionMatcher rebuilt;
        rebuilt.update(library);
        EXPECT_EQ(followed.entries(), rebuilt.entries()) << step;
        EXPECT_EQ(followed.maximumLength(), rebuilt.maximumLength()) << step;
    };
    library[1].expansion = QStringLiteral("two");
    followed.update(library);
    expectRebuilt("new text");
    library[3].trigger = QStringLiteral("/solo");
    followed.update(library);
    expectRebuilt("a duplicate renamed leaves the other usable");
    library[0].trigger = QStringLiteral("/e");
    followed.update(library);
    expectRebuilt("a rename onto a used trigger drops both");
    library.insert(2, shortcuts({{"/longest-trigger", "x"}}).first());
    followed.update(library);
    expectRebuilt("an insertion in the middle");
    library.removeAt(5);
    followed.update(library);
    expectRebuilt("a removal");
    library.append(shortcuts({{QStringLiteral("cafe\u0301"), "same trigger, decomposed"}}).first());
    followed.update(library);
    expectRebuilt("a canonically equal trigger");
    library[2].trigger = QString();
    followed.update(library);
    expectRebuilt("an emptied trigger");
}

TEST(ExpansionMatcherEdits, AFollowedEditMatchesTheNewTextAndEmptiesTheBuffer)
{
    QList<Shortcut> library = shortcuts({{"/sig", "old"}, {"/addr", "street"}});
    ExpansionMatcher matcher;
    matcher.update(library);
    typeInto(matcher, "/si");
    library[0].expansion = QStringLiteral("new");
    matcher.update(library);
    EXPECT_TRUE(matcher.buffer().isEmpty());
    EXPECT_EQ(typeInto(matcher, "/sig"), (ExpansionMatcher::Entry{"/sig", "new", "0"}));
}

TEST(ExpansionMatcherTyping, OnlyTypingThatMayBecomeATriggerMayContinue)
{
    ExpansionMatcher matcher = loaded({{"/sig", "S"}, {QStringLiteral("/caf\u00E9"), "C"}});
    EXPECT_FALSE(matcher.mayContinue("x"));
    EXPECT_TRUE(matcher.mayContinue("/"));
    typeInto(matcher, "ab/s");
    EXPECT_TRUE(matcher.mayContinue("i"));
    EXPECT_FALSE(matcher.mayContinue("x"));
    typeInto(matcher, "i");
    EXPECT_TRUE(matcher.mayContinue("g"));
    // A key that ends the typing on a trigger's beginning again may continue.
    EXPECT_TRUE(matcher.mayContinue("x/"));

    matcher.clearBuffer();
    typeInto(matcher, "/cafe");
    EXPECT_TRUE(matcher.mayContinue(QStringLiteral("\u0301")));
    EXPECT_FALSE(matcher.mayContinue("\n"));
}

TEST(ExpansionMatcherEdits, ARemovedTriggerNoLongerBeginsAnything)
{
    ExpansionMatcher matcher;
    QList<Shortcut> list = shortcuts({{"/sig", "S"}, {";addr", "A"}});
    matcher.update(list);
    EXPECT_TRUE(matcher.mayContinue(";"));
    list.removeLast();
    matcher.update(list);
    EXPECT_FALSE(matcher.mayContinue(";"));
    EXPECT_TRUE(matcher.mayContinue("/"));
    matcher.update({});
    EXPECT_FALSE(matcher.mayContinue("/"));
}
