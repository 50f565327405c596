#include "ModelTestSupport.h"
#include "Models/CustomIcon.h"
#include "Models/Group.h"
#include "Models/Shortcut.h"

#include <QSet>

namespace {
const QString eAcute = QStringLiteral("caf\u00E9");
const QString eDecomposed = QStringLiteral("cafe\u0301");
} // namespace

TEST(ShortcutJson, MinimalObjectReadsWithDefaultsAndGainsOnlyOrder)
{
    const Shortcut s = VelmoraJSON::decode<Shortcut>(R"({"id":"A","trigger":"/sig","expansion":"Hi"})");
    EXPECT_EQ(s.order, 0);
    EXPECT_FALSE(s.groupId);
    EXPECT_FALSE(s.isExample);
    EXPECT_EQ(VelmoraJSON::encode(s),
        VelmoraJSON::encode(VelmoraJSON::parse(R"({"id":"A","trigger":"/sig","expansion":"Hi","order":0})")));
}

TEST(ShortcutJson, NullOptionalReadsAsAbsentAndIsNotWrittenBack)
{
    const Shortcut s = VelmoraJSON::decode<Shortcut>(
        R"({"id":"A","trigger":"t","expansion":"e","groupId":null,"isExample":null,"extra":[1]})");
    EXPECT_FALSE(s.groupId);
    EXPECT_FALSE(s.isExample);
    const QJsonObject written = s.toJson().toObject();
    EXPECT_FALSE(written.contains(QStringLiteral("groupId")));
    EXPECT_FALSE(written.contains(QStringLiteral("isExample")));
    EXPECT_FALSE(written.contains(QStringLiteral("extra")));
}

TEST(ShortcutJson, EveryFieldRoundTripsByteForByte)
{
    const Shortcut s{QStringLiteral("S1"), QStringLiteral("/sig"), QStringLiteral("Best,\n\u00C5sa \U0001F600"),
        QStringLiteral("G1"), -9223372036854775807LL - 1, false};
    EXPECT_TRUE(roundTripsByteForByte(s));
    EXPECT_EQ(VelmoraJSON::decode<Shortcut>(VelmoraJSON::encode(s)), s);
}

TEST(ShortcutJson, MissingRequiredKeyFailsWithItsPath)
{
    const auto e = errorThrownBy<DecodingError>([] { VelmoraJSON::decode<Shortcut>(R"({"id":"A","expansion":"e"})"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind(), DecodingError::Kind::keyNotFound);
    EXPECT_TRUE(e->message().contains(QStringLiteral("trigger")));
}

TEST(ShortcutJson, WrongTypesFailTheRecord)
{
    EXPECT_EQ(
        readFailurePath<Shortcut>(R"({"id":"A","trigger":"t","expansion":"e","order":"3"})"), QStringLiteral("order"));
    EXPECT_EQ(
        readFailurePath<Shortcut>(R"({"id":"A","trigger":"t","expansion":"e","order":1.5})"), QStringLiteral("order"));
    EXPECT_EQ(
        readFailurePath<Shortcut>(R"({"id":"A","trigger":"t","expansion":"e","order":1e19})"), QStringLiteral("order"));
    EXPECT_EQ(readFailurePath<Shortcut>(R"({"id":"A","trigger":"t","expansion":"e","isExample":"yes"})"),
        QStringLiteral("isExample"));
    EXPECT_EQ(readFailurePath<Shortcut>(R"({"id":7,"trigger":"t","expansion":"e"})"), QStringLiteral("id"));
    EXPECT_EQ(readFailurePath<Shortcut>(R"({"id":"A","trigger":"t","expansion":"e","groupId":5})"),
        QStringLiteral("groupId"));
}

TEST(ShortcutJson, TheFirstFailingKeyInFieldOrderIsReported)
{
    EXPECT_EQ(
        readFailurePath<Shortcut>(R"({"id":"A","trigger":1,"expansion":"e","order":"x"})"), QStringLiteral("trigger"));
}

TEST(GroupJson, MinimalObjectReadsWithDefaults)
{
    const Group g = VelmoraJSON::decode<Group>(R"({"id":"G","name":"Work"})");
    EXPECT_EQ(g.order, 0);
    EXPECT_FALSE(g.collapsed);
    EXPECT_FALSE(g.icon || g.color || g.visibility || g.shareId || g.parentGroupId);
    const QJsonObject written = g.toJson().toObject();
    EXPECT_EQ(written.keys(),
        QStringList(
            {QStringLiteral("collapsed"), QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("order")}));
}

TEST(GroupJson, EveryFieldRoundTripsByteForByte)
{
    const Group g{QStringLiteral("G"), QStringLiteral("Work"), QStringLiteral("P"), 4, true,
        QStringLiteral("custom:I1"), QStringLiteral("#E2725B"), QStringLiteral("unlisted"), QStringLiteral("share-1")};
    EXPECT_TRUE(roundTripsByteForByte(g));
    EXPECT_EQ(VelmoraJSON::decode<Group>(VelmoraJSON::encode(g)), g);
}

TEST(GroupJson, WrongTypesFailTheRecord)
{
    EXPECT_EQ(readFailurePath<Group>(R"({"id":"G","name":"Work","collapsed":1})"), QStringLiteral("collapsed"));
    EXPECT_EQ(readFailurePath<Group>(R"({"id":"G","name":"Work","visibility":true})"), QStringLiteral("visibility"));
    EXPECT_EQ(readFailurePath<Group>(R"({"id":"G","name":null})"), QStringLiteral("name"));
}

TEST(CustomIconJson, AllThreeKeysAreRequired)
{
    EXPECT_EQ(readFailurePath<CustomIcon>(R"({"id":"I","name":"n"})"), QString());
    const CustomIcon icon = VelmoraJSON::decode<CustomIcon>(R"({"id":"I","name":"n","svg":"<svg/>"})");
    EXPECT_TRUE(roundTripsByteForByte(icon));
}

TEST(CustomIconKey, NamesTheIconById)
{
    const CustomIcon icon{QStringLiteral("ABC"), QStringLiteral("n"), QStringLiteral("<svg/>")};
    EXPECT_EQ(icon.iconKey(), QStringLiteral("custom:ABC"));
    EXPECT_EQ(CustomIcon::idFromIconKey(icon.iconKey()), QStringLiteral("ABC"));
    EXPECT_EQ(CustomIcon::idFromIconKey(QStringLiteral("custom:")), QString());
    EXPECT_FALSE(CustomIcon::idFromIconKey(QStringLiteral("folder")));
    EXPECT_FALSE(CustomIcon::idFromIconKey(QStringLiteral("Custom:ABC")));
    EXPECT_FALSE(CustomIcon::idFromIconKey(QStringLiteral("\U0001F4C1")));
}

TEST(RecordEquality, AbsentDiffersFromAnyValueAndHashesApart)
{
    const Shortcut a{QStringLiteral("A"), QStringLiteral("t"), QStringLiteral("e"), std::nullopt, 0, std::nullopt};
    Shortcut b = a;
    b.isExample = false;
    EXPECT_NE(a, b);
    EXPECT_NE(qHash(a), qHash(b));
    Shortcut emptyGroup = a;
    emptyGroup.groupId = QString();
    EXPECT_NE(a, emptyGroup);
    EXPECT_NE(qHash(a), qHash(emptyGroup));
    EXPECT_EQ(QSet<Shortcut>({a, b, a, emptyGroup}).size(), 3);
}

TEST(RecordEquality, EveryFieldTakesPart)
{
    const Group base{QStringLiteral("G"), QStringLiteral("n"), std::nullopt, 0, false, std::nullopt, std::nullopt,
        std::nullopt, std::nullopt};
    QList<Group> variants;
    for (int i = 0; i < 9; ++i)
        variants.append(base);
    variants[0].id = QStringLiteral("H");
    variants[1].name = QStringLiteral("m");
    variants[2].parentGroupId = QStringLiteral("P");
    variants[3].order = 1;
    variants[4].collapsed = true;
    variants[5].icon = QStringLiteral("star");
    variants[6].color = QStringLiteral("#fff");
    variants[7].visibility = QStringLiteral("private");
    variants[8].shareId = QStringLiteral("s");
    for (const Group& v : variants)
        EXPECT_NE(v, base);
    variants.append(base);
    EXPECT_EQ(QSet<Group>(variants.cbegin(), variants.cend()).size(), 10);
}

TEST(RecordEquality, CanonicallyEquivalentTextIsEqualAndHashesAlike)
{
    const Shortcut a{QStringLiteral("A"), eAcute, eDecomposed, eAcute, 0, std::nullopt};
    const Shortcut b{QStringLiteral("A"), eDecomposed, eAcute, eDecomposed, 0, std::nullopt};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    const CustomIcon i{eAcute, QStringLiteral("n"), QStringLiteral("s")};
    const CustomIcon j{eDecomposed, QStringLiteral("n"), QStringLiteral("s")};
    EXPECT_EQ(i, j);
    EXPECT_EQ(qHash(i), qHash(j));
}
