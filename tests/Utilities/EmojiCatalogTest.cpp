#include "Utilities/EmojiCatalog.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QStringList characters(const QList<EmojiEntry>& entries)
{
    QStringList list;
    for (const EmojiEntry& entry : entries)
        list.append(entry.character);
    return list;
}

const QString redHeart = QStringLiteral("\u2764\uFE0F");

} // namespace

TEST(EmojiCatalog, HasEightCategoriesInOrderWithTheirSizes)
{
    const QList<std::tuple<QString, QString, QString, qsizetype>> expected = {
        {QStringLiteral("smileys"), QStringLiteral("\U0001F600"), QStringLiteral("Smileys"), 131},
        {QStringLiteral("people"), QStringLiteral("\U0001F44B"), QStringLiteral("People"), 130},
        {QStringLiteral("animals"), QStringLiteral("\U0001F431"), QStringLiteral("Animals"), 140},
        {QStringLiteral("food"), QStringLiteral("\U0001F355"), QStringLiteral("Food"), 106},
        {QStringLiteral("travel"), QStringLiteral("\U0001F680"), QStringLiteral("Travel"), 122},
        {QStringLiteral("objects"), QStringLiteral("\U0001F4A1"), QStringLiteral("Objects"), 123},
        {QStringLiteral("symbols"), QStringLiteral("\U0001F49C"), QStringLiteral("Symbols"), 97},
        {QStringLiteral("flags"), QStringLiteral("\U0001F3C1"), QStringLiteral("Flags"), 55},
    };
    const QList<EmojiCategory>& categories = EmojiCatalog::categories();
    ASSERT_EQ(categories.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const auto& [id, label, name, count] = expected[i];
        EXPECT_EQ(categories[i], (EmojiCategory{id, label, name}));
        EXPECT_EQ(EmojiCatalog::data().value(id).size(), count) << id.toStdString();
    }
    EXPECT_EQ(EmojiCatalog::data().size(), 8);
}

TEST(EmojiCatalog, AllRunsFromTheGrinningFaceToTheFlagOfChile)
{
    const QList<EmojiEntry>& all = EmojiCatalog::all();
    ASSERT_EQ(all.size(), 904);
    EXPECT_EQ(all.first().character, QStringLiteral("\U0001F600"));
    EXPECT_EQ(all.last().character, QStringLiteral("\U0001F1E8\U0001F1F1"));
    EXPECT_EQ(all.mid(131, 130), EmojiCatalog::data().value(QStringLiteral("people")));
}

TEST(EmojiCatalog, HoldsTheWellKnownRowsInTheirPlaces)
{
    struct Row {
        const char* category;
        qsizetype place;
        QString character;
        QString keywords;
    };
    const QList<Row> rows = {
        {"smileys", 1, QStringLiteral("\U0001F600"), QStringLiteral("grinning face happy")},
        {"smileys", 114, redHeart, QStringLiteral("red heart love")},
        {"smileys", 124, QStringLiteral("\u2764\uFE0F\u200D\U0001F525"), QStringLiteral("heart fire")},
        {"smileys", 131, QStringLiteral("\U0001F49D"), QStringLiteral("heart ribbon gift")},
        {"animals", 9, QStringLiteral("\U0001F43B\u200D\u2744\uFE0F"), QStringLiteral("polar bear")},
        {"travel", 2, QStringLiteral("\u2708\uFE0F"), QStringLiteral("airplane")},
        {"symbols", 1, redHeart, QStringLiteral("red heart love")},
        {"symbols", 41, QStringLiteral("\U0001F3B1"), QStringLiteral("pool billiard 8ball")},
        {"symbols", 42, QStringLiteral("\U0001FA80"), QStringLiteral("yo-yo")},
        {"flags", 6, QStringLiteral("\U0001F3F3\uFE0F\u200D\U0001F308"), QStringLiteral("rainbow flag pride")},
        {"flags", 55, QStringLiteral("\U0001F1E8\U0001F1F1"), QStringLiteral("chile flag")},
    };
    for (const Row& row : rows) {
        const QList<EmojiEntry> entries = EmojiCatalog::data().value(QLatin1String(row.category));
        ASSERT_GE(entries.size(), row.place);
        EXPECT_EQ(entries[row.place - 1], (EmojiEntry{row.character, row.keywords}))
            << row.category << " " << row.place;
    }
}

TEST(EmojiCatalog, OnlyTheRedHeartRepeats)
{
    QSet<QString> seen;
    QStringList repeated;
    for (const EmojiEntry& entry : EmojiCatalog::all()) {
        if (seen.contains(entry.character))
            repeated.append(entry.character);
        seen.insert(entry.character);
    }
    EXPECT_EQ(repeated, QStringList{redHeart});
}

TEST(EmojiCatalog, EveryEntryHasOneToFourShortLowerCaseWords)
{
    static const QRegularExpression words(QStringLiteral("^[a-z0-9-]+( [a-z0-9-]+){0,3}$"));
    for (const EmojiEntry& entry : EmojiCatalog::all()) {
        EXPECT_TRUE(words.match(entry.keywords).hasMatch()) << entry.keywords.toStdString();
        EXPECT_LE(entry.keywords.size(), 25) << entry.keywords.toStdString();
        EXPECT_FALSE(entry.character.isEmpty());
    }
}

TEST(EmojiSearch, FindsTheRedHeartByHeartInBothOfItsPlaces)
{
    const QList<EmojiEntry> found = EmojiCatalog::search(QStringLiteral("heart"));
    EXPECT_EQ(characters(found).count(redHeart), 2);
    EXPECT_TRUE(characters(found).contains(QStringLiteral("\U0001F49D")));
}

TEST(EmojiSearch, KeepsCatalogOrder)
{
    const QList<EmojiEntry> found = EmojiCatalog::search(QStringLiteral("heart"));
    const QList<EmojiEntry>& all = EmojiCatalog::all();
    qsizetype last = -1;
    qsizetype position = 0;
    for (const EmojiEntry& entry : found) {
        while (position < all.size() && all[position] != entry)
            ++position;
        ASSERT_LT(position, all.size());
        EXPECT_GT(position, last);
        last = position++;
    }
}

TEST(EmojiSearch, IgnoresLetterCaseAndSurroundingWhiteSpace)
{
    const QList<EmojiEntry> lower = EmojiCatalog::search(QStringLiteral("polar"));
    ASSERT_EQ(lower.size(), 1);
    EXPECT_EQ(EmojiCatalog::search(QStringLiteral("POLAR")), lower);
    EXPECT_EQ(EmojiCatalog::search(QStringLiteral("  Polar\n")), lower);
}

TEST(EmojiSearch, NeverReturnsTheWholeCatalogForABlankQuery)
{
    EXPECT_TRUE(EmojiCatalog::search(QString()).isEmpty());
    EXPECT_TRUE(EmojiCatalog::search(QStringLiteral("   ")).isEmpty());
    EXPECT_TRUE(EmojiCatalog::search(QStringLiteral("\n\t ")).isEmpty());
}

TEST(EmojiSearch, AnEmojiFindsTheEntriesThatContainIt)
{
    // The fire is part of the heart on fire, whose keywords do not name the emoji itself.
    const QStringList found = characters(EmojiCatalog::search(QStringLiteral("\U0001F525")));
    EXPECT_TRUE(found.contains(QStringLiteral("\U0001F525")));
    EXPECT_TRUE(found.contains(QStringLiteral("\u2764\uFE0F\u200D\U0001F525")));
    const QStringList flags = characters(EmojiCatalog::search(QStringLiteral("\U0001F308")));
    EXPECT_TRUE(flags.contains(QStringLiteral("\U0001F3F3\uFE0F\u200D\U0001F308")));
}

TEST(EmojiSearch, NothingMatchesGibberish)
{
    EXPECT_TRUE(EmojiCatalog::search(QStringLiteral("qqxqzq")).isEmpty());
}

TEST(EmojiEntry, EqualEntriesHashAlike)
{
    const EmojiEntry a{redHeart, QStringLiteral("red heart love")};
    const EmojiEntry b{redHeart, QStringLiteral("red heart love")};
    const EmojiEntry c{redHeart, QStringLiteral("heart")};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    EXPECT_NE(a, c);
    EXPECT_EQ(QSet<EmojiEntry>({a, b, c}).size(), 2);
}
