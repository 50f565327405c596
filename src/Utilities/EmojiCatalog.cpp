#include "Utilities/EmojiCatalog.h"

#include "Utilities/Text.h"

#include <QHashFunctions>

size_t qHash(const EmojiEntry& entry, size_t seed)
{
    return qHashMulti(seed, entry.character, entry.keywords);
}

size_t qHash(const EmojiCategory& category, size_t seed)
{
    return qHashMulti(seed, category.id, category.label, category.name);
}

const QList<EmojiCategory>& EmojiCatalog::categories()
{
    static const QList<EmojiCategory> list = {
        {QStringLiteral("smileys"), QStringLiteral("\U0001F600"), QStringLiteral("Smileys")},
        {QStringLiteral("people"), QStringLiteral("\U0001F44B"), QStringLiteral("People")},
        {QStringLiteral("animals"), QStringLiteral("\U0001F431"), QStringLiteral("Animals")},
        {QStringLiteral("food"), QStringLiteral("\U0001F355"), QStringLiteral("Food")},
        {QStringLiteral("travel"), QStringLiteral("\U0001F680"), QStringLiteral("Travel")},
        {QStringLiteral("objects"), QStringLiteral("\U0001F4A1"), QStringLiteral("Objects")},
        {QStringLiteral("symbols"), QStringLiteral("\U0001F49C"), QStringLiteral("Symbols")},
        {QStringLiteral("flags"), QStringLiteral("\U0001F3C1"), QStringLiteral("Flags")},
    };
    return list;
}

const QHash<QString, QList<EmojiEntry>>& EmojiCatalog::data()
{
    static const QHash<QString, QList<EmojiEntry>> table = makeData();
    return table;
}

const QList<EmojiEntry>& EmojiCatalog::all()
{
    static const QList<EmojiEntry> list = [] {
        QList<EmojiEntry> entries;
        for (const EmojiCategory& category : categories())
            entries += data().value(category.id);
        return entries;
    }();
    return list;
}

QList<EmojiEntry> EmojiCatalog::search(const QString& query)
{
    const QString words = Text::trimmed(query).toLower();
    if (words.isEmpty())
        return {};
    QList<EmojiEntry> found;
    for (const EmojiEntry& entry : all()) {
        if (entry.keywords.toLower().contains(words) || entry.character.contains(query))
            found.append(entry);
    }
    return found;
}
