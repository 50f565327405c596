#include "Models/Shortcut.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(ShortcutJson, MinimalObjectReadsWithDefaultsAndGainsOnlyOrder)
{
    const Shortcut s = VelmoraJSON::decode<Shortcut>(R"({"id":"A","trigger":"/sig","expansion":"Hi","groupId":null,"x":1})");
    EXPECT_EQ(s.order, 0);
    EXPECT_FALSE(s.groupId);
    EXPECT_FALSE(s.isExample);
    const QJsonObject written = s.toJson().toObject();
    EXPECT_EQ(written.keys(), QStringList({QStringLiteral("expansion"), QStringLiteral("id"), QStringLiteral("order"), QStringLiteral("trigger")}));
}

TEST(GroupJson, MinimalObjectReadsWithDefaults)
{
    const Group g = VelmoraJSON::decode<Group>(R"({"id":"G","name":"Work"})");
    EXPECT_EQ(g.order, 0);
    EXPECT_FALSE(g.collapsed);
    EXPECT_FALSE(g.icon || g.color || g.visibility || g.shareId || g.parentGroupId);
    EXPECT_THROW(VelmoraJSON::decode<Group>(R"({"id":"G","name":"Work","collapsed":1})"), DecodingError);
}

TEST(RecordEquality, AbsentDiffersFromAnyValueAndHashesApart)
{
    Shortcut a{QStringLiteral("A"), QStringLiteral("t"), QStringLiteral("e"), std::nullopt, 0, std::nullopt};
    Shortcut b = a;
    b.isExample = false;
    EXPECT_NE(a, b);
    EXPECT_NE(qHash(a), qHash(b));
    Shortcut c = a;
    EXPECT_EQ(a, c);
    EXPECT_EQ(qHash(a), qHash(c));
    EXPECT_EQ(QSet<Shortcut>({a, b, c}).size(), 2);
}
