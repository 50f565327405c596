#include "Models/ShortcutSearchIndex.h"

#include <gtest/gtest.h>

namespace {

Shortcut item(const QString& id, const QString& trigger, const QString& expansion)
{
    Shortcut shortcut;
    shortcut.id = id;
    shortcut.trigger = trigger;
    shortcut.expansion = expansion;
    return shortcut;
}

// The rule the index stands for, applied to every shortcut afresh.
QList<qsizetype> reference(const QList<Shortcut>& shortcuts, const QString& query)
{
    QList<qsizetype> result;
    for (qsizetype i = 0; i < shortcuts.size(); ++i) {
        if (shortcuts[i].trigger.toLower().contains(query)
            || shortcuts[i].expansion.toString().toLower().contains(query))
            result.append(i);
    }
    return result;
}

QList<Shortcut> sample()
{
    return {item(QStringLiteral("1"), QStringLiteral("/Sig"), QStringLiteral("Best REGARDS, Sam")),
        item(QStringLiteral("2"), QStringLiteral("/addr"), QStringLiteral("Straße 5, MÜNCHEN")),
        item(QStringLiteral("3"), QStringLiteral("/meet"), QStringLiteral("Let's meet on Monday")),
        item(QStringLiteral("4"), QStringLiteral("/ΣΟΦΙΑ"), QStringLiteral("Γειά σου"))};
}

} // namespace

TEST(ShortcutSearchIndex, MatchesTriggersAndTextsIgnoringCaseInAnyScript)
{
    ShortcutSearchIndex index;
    const QList<Shortcut> shortcuts = sample();
    for (const QString& query : {QStringLiteral("regards"), QStringLiteral("münchen"), QStringLiteral("/sig"),
             QStringLiteral("σοφ"), QStringLiteral("e"), QStringLiteral("nothing"), QStringLiteral("s, m")})
        EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query)) << query.toStdString();
}

TEST(ShortcutSearchIndex, AnEmptyQueryMatchesEverything)
{
    ShortcutSearchIndex index;
    EXPECT_EQ(index.matching(sample(), QString()), QList<qsizetype>({0, 1, 2, 3}));
}

TEST(ShortcutSearchIndex, TypingOnNarrowsAndDeletingWidensAgain)
{
    ShortcutSearchIndex index;
    const QList<Shortcut> shortcuts = sample();
    for (const QString& query : {QStringLiteral("m"), QStringLiteral("me"), QStringLiteral("mee"), QStringLiteral("me"),
             QStringLiteral("m"), QStringLiteral("ma")})
        EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query)) << query.toStdString();

    // A longer query found further on than the shorter one, or only in the text where the
    // shorter one was in the trigger.
    ShortcutSearchIndex further;
    const QList<Shortcut> repeated = {item(QStringLiteral("1"), QStringLiteral("/ab"), QStringLiteral("xab aby ABZ")),
        item(QStringLiteral("2"), QStringLiteral("/q"), QStringLiteral("one two TWorld")),
        item(QStringLiteral("3"), QStringLiteral("/ΣΣ"), QStringLiteral("σa Σb σΣc"))};
    for (const QString& query : {QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("aby"),
             QStringLiteral("abz"), QStringLiteral("t"), QStringLiteral("tw"), QStringLiteral("twor"),
             QStringLiteral("σ"), QStringLiteral("σσ"), QStringLiteral("σσc"), QStringLiteral("σb")})
        EXPECT_EQ(further.matching(repeated, query), reference(repeated, query)) << query.toStdString();
}

TEST(ShortcutSearchIndex, FollowsEditsMovesAndRemovalsLikeAFreshIndex)
{
    ShortcutSearchIndex index;
    index.prepare(sample());
    QList<Shortcut> shortcuts = sample();
    EXPECT_EQ(index.matching(shortcuts, QStringLiteral("me")), reference(shortcuts, QStringLiteral("me")));
    shortcuts[0].expansion = QStringLiteral("See you at the meeting");
    shortcuts.move(2, 0);
    shortcuts.removeAt(1);
    shortcuts.append(item(QStringLiteral("5"), QStringLiteral("/home"), QStringLiteral("Home address")));
    for (const QString& query : {QStringLiteral("me"), QStringLiteral("meet"), QStringLiteral("regards")}) {
        ShortcutSearchIndex fresh;
        EXPECT_EQ(index.matching(shortcuts, query), fresh.matching(shortcuts, query)) << query.toStdString();
        EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query)) << query.toStdString();
    }
}

TEST(ShortcutSearchIndex, LettingGoOfTheListStillFollowsEditsAndAnEmptiedLibrary)
{
    ShortcutSearchIndex index;
    index.prepare(sample());
    index.forgetSource();
    QList<Shortcut> shortcuts = sample();
    shortcuts[1].trigger = QStringLiteral("/meet2");
    EXPECT_EQ(index.matching(shortcuts, QStringLiteral("me")), reference(shortcuts, QStringLiteral("me")));
    index.forgetSource();
    shortcuts.move(3, 0);
    shortcuts.removeLast();
    EXPECT_EQ(index.matching(shortcuts, QStringLiteral("me")), reference(shortcuts, QStringLiteral("me")));
    index.forgetSource();
    EXPECT_TRUE(index.matching({}, QStringLiteral("me")).isEmpty());
    EXPECT_TRUE(index.matching({}, QString()).isEmpty());
}

TEST(ShortcutSearchIndex, LargeLibrariesMatchAsTheRuleAtEveryPlaceInTheText)
{
    // Enough shortcuts to be looked through on several threads, with the query's letters in
    // either case at every offset of the text and cut off by its end.
    const QString base = QStringLiteral("ab-c[d`e@f Zq_x{y\nINVOICE invo");
    QList<Shortcut> shortcuts;
    for (int i = 0; i < 6000; ++i) {
        const int cut = i % 97;
        const QString text = QString(i % 41, u'.') + base + QString(i % 13, u'-');
        shortcuts.append(item(QString::number(i), QStringLiteral("/t%1").arg(i), text.left(text.size() - cut % 8)));
    }
    ShortcutSearchIndex index;
    for (const QString& query : {QStringLiteral("i"), QStringLiteral("invoice"), QStringLiteral("invo"),
             QStringLiteral("ice invo"), QStringLiteral("@f z"), QStringLiteral("[d`"), QStringLiteral("{y\ni"),
             QStringLiteral("x{"), QStringLiteral("q_"), QStringLiteral("/t59")})
        EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query)) << qPrintable(query);
}

TEST(ShortcutSearchIndex, EachEditAnswersAsTheRuleEvenForAQueryAskedBeforeIt)
{
    QList<Shortcut> shortcuts;
    for (int i = 0; i < 300; ++i)
        shortcuts.append(item(QString::number(i), QStringLiteral("/t%1").arg(i), QStringLiteral("text %1").arg(i)));
    ShortcutSearchIndex index;
    const QStringList queries = {QStringLiteral("note"), QStringLiteral("t1"), QStringLiteral("text 2")};
    const auto expectTheRule = [&](const char* edit) {
        for (const QString& query : queries)
            EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query))
                << edit << ' ' << qPrintable(query);
    };
    expectTheRule("as loaded");
    shortcuts[150].expansion = QStringLiteral("a note");
    expectTheRule("a text changed in the middle");
    shortcuts.insert(10, item(QStringLiteral("new"), QStringLiteral("/note"), QStringLiteral("x")));
    expectTheRule("one added near the start");
    shortcuts.removeFirst();
    shortcuts.removeLast();
    expectTheRule("the first and the last removed");
    std::swap(shortcuts[20].expansion, shortcuts[200].expansion);
    shortcuts[100].groupId = QStringLiteral("G");
    expectTheRule("two texts swapped far apart, a folder changed between");
    for (Shortcut& shortcut : shortcuts)
        shortcut.trigger = QString(shortcut.trigger.constData(), shortcut.trigger.size());
    expectTheRule("equal triggers read anew");
    shortcuts.clear();
    expectTheRule("all removed");
}

TEST(ShortcutSearchIndex, TextsWhoseCaseChangesTheirLengthMatchAsTheRule)
{
    // Lowered, U+023A takes a byte more and the Kelvin sign two fewer; U+0130 becomes two
    // characters.
    const QList<Shortcut> shortcuts = {item(QStringLiteral("1"), QStringLiteral("/a"), QStringLiteral("\u023a\u023aB")),
        item(QStringLiteral("2"), QStringLiteral("/b"), QStringLiteral("20 \u212a DEGREES")),
        item(QStringLiteral("3"), QStringLiteral("/c"), QStringLiteral("\u0130STANBUL"))};
    ShortcutSearchIndex index;
    for (const QString& query : {QStringLiteral("\u2c65b"), QStringLiteral("k deg"), QStringLiteral("i\u0307s"),
             QStringLiteral("b"), QStringLiteral("\u2c65\u2c65")})
        EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query)) << query.toStdString();
}

TEST(ShortcutSearchIndex, TextsInOtherScriptsMatchAsTheRuleForQueriesInAnyScript)
{
    // Enough shortcuts to be looked through on several threads; capitals beyond ASCII, which
    // lower to as many bytes, beside a text that keeps a lowered copy (the Kelvin sign).
    const QString base = QStringLiteral("\u00c5ngstr\u00f6m caf\u00c9 \u039a\u0391\u039b\u0397\u039c\u0388\u03a1\u0391 "
                                        "\u6771\u4eac \U0001F600 Stra\u00dfe \u00e9A\u00c9");
    QList<Shortcut> shortcuts;
    for (int i = 0; i < 5000; ++i) {
        const QString text = QString(i % 7, u'.') + (i % 400 == 0 ? QStringLiteral("\u212a ") : QString()) + base;
        shortcuts.append(item(QString::number(i), QStringLiteral("/t%1").arg(i), text.left(text.size() - i % 11)));
    }
    ShortcutSearchIndex index;
    for (const QString& query :
        {QStringLiteral("\u00e5"), QStringLiteral("\u00e5ngs"), QStringLiteral("f\u00e9 \u03ba"),
            QStringLiteral("\u03ba\u03b1\u03bb"), QStringLiteral("\u03ba\u03b1\u03bb\u03b7\u03bc\u03ad"),
            QStringLiteral("\u6771"), QStringLiteral("\U0001F600 s"), QStringLiteral("\u00dfe"),
            QStringLiteral("\u00e9a\u00e9"), QStringLiteral("k \u00e5"), QStringLiteral("\u00e9"),
            QStringLiteral("caf"), QStringLiteral("\u00e9"), QStringLiteral("\u00e9a")})
        EXPECT_EQ(index.matching(shortcuts, query), reference(shortcuts, query)) << qPrintable(query);
}
