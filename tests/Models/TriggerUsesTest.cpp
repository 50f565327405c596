#include "Models/TriggerUses.h"

#include <gtest/gtest.h>

namespace {

Shortcut shortcut(const QString& id, const QString& trigger)
{
    return Shortcut{id, trigger, QStringLiteral("text"), std::nullopt, 0, std::nullopt};
}

} // namespace

TEST(TriggerUses, FollowsEditsAndCountsCanonicallyEqualTriggersTogether)
{
    QList<Shortcut> library;
    for (int i = 0; i < 100; ++i)
        library.append(shortcut(QString::number(i), QStringLiteral(";t%1").arg(i)));
    TriggerUses uses;
    uses.follow(library);
    EXPECT_EQ(uses.uses(QStringLiteral(";t7")), 1);
    EXPECT_EQ(uses.duplicatedTriggers(), 0);

    // An added shortcut with a composed "é" meets one with the decomposed form.
    library.append(shortcut(QStringLiteral("a"), QStringLiteral("/caf\u00e9")));
    library.append(shortcut(QStringLiteral("b"), QStringLiteral("/cafe\u0301")));
    uses.follow(library);
    EXPECT_EQ(uses.uses(QStringLiteral("/caf\u00e9")), 2);
    EXPECT_EQ(uses.duplicatedTriggers(), 1);

    // A changed trigger in the middle, and a removal.
    library[50] = shortcut(QStringLiteral("50"), QStringLiteral(";t7"));
    library.removeLast();
    uses.follow(library);
    EXPECT_EQ(uses.uses(QStringLiteral(";t7")), 2);
    EXPECT_EQ(uses.uses(QStringLiteral(";t50")), 0);
    EXPECT_EQ(uses.uses(QStringLiteral("/cafe\u0301")), 1);
    EXPECT_EQ(uses.duplicatedTriggers(), 1);

    // Most of the list replaced is counted afresh.
    library = {shortcut(QStringLiteral("x"), QStringLiteral(";x")), shortcut(QStringLiteral("y"), QStringLiteral(";x"))};
    uses.follow(library);
    EXPECT_EQ(uses.uses(QStringLiteral(";t7")), 0);
    EXPECT_EQ(uses.uses(QStringLiteral(";x")), 2);
    EXPECT_EQ(uses.duplicatedTriggers(), 1);
}
