#include "Models/IdHashes.h"

#include <gtest/gtest.h>

namespace {

Shortcut shortcut(const QString& id)
{
    return Shortcut{id, QStringLiteral(";") + id, QStringLiteral("text"), std::nullopt, 0, std::nullopt};
}

// Every id the same hash: each question then falls to the exact count.
size_t oneHash(const QString&)
{
    return 7;
}

} // namespace

TEST(IdHashes, FollowsEditsAndCountsIdsExactlyWhateverTheirHashes)
{
    for (const IdHashes::Hash hash : {&IdHashes::canonicalHash, &oneHash}) {
        QList<Shortcut> library;
        for (int i = 0; i < 100; ++i)
            library.append(shortcut(QString::number(i)));
        IdHashes ids(hash);
        ids.follow(library);
        EXPECT_EQ(ids.uses(QStringLiteral("7")), 1);
        EXPECT_EQ(ids.uses(QStringLiteral("100")), 0);

        // Added ids that differ only in the composition of an "é" are one id.
        library.append(shortcut(QStringLiteral("caf\u00e9")));
        library.append(shortcut(QStringLiteral("cafe\u0301")));
        ids.follow(library);
        EXPECT_EQ(ids.uses(QStringLiteral("cafe\u0301")), 2);

        // A changed id in the middle, and a removal.
        library[50] = shortcut(QStringLiteral("7"));
        library.removeLast();
        ids.follow(library);
        EXPECT_EQ(ids.uses(QStringLiteral("7")), 2);
        EXPECT_EQ(ids.uses(QStringLiteral("50")), 0);
        EXPECT_EQ(ids.uses(QStringLiteral("caf\u00e9")), 1);

        // Most of the list replaced is counted afresh.
        library = {shortcut(QStringLiteral("x")), shortcut(QStringLiteral("x"))};
        ids.follow(library);
        EXPECT_EQ(ids.uses(QStringLiteral("7")), 0);
        EXPECT_EQ(ids.uses(QStringLiteral("x")), 2);
    }
}
