#include "Services/UserProfile.h"

#include <gtest/gtest.h>

namespace {
const QByteArray minimal = R"({"user_id":"U1","username":"ada","display_name":"Ada"})";
}

TEST(UserProfileJson, MinimalObjectReadsWithOptionalFieldsAbsentAndWritesOnlyItsKeys)
{
    const UserProfile profile = VelmoraJSON::decode<UserProfile>(minimal);
    EXPECT_EQ(profile.user_id, QStringLiteral("U1"));
    EXPECT_EQ(profile.username, QStringLiteral("ada"));
    EXPECT_EQ(profile.display_name, QStringLiteral("Ada"));
    EXPECT_FALSE(
        profile.id || profile.bio || profile.avatar_url || profile.twitter || profile.linkedin || profile.website);
    EXPECT_EQ(profile.toJson().toObject().keys(),
        QStringList({QStringLiteral("display_name"), QStringLiteral("user_id"), QStringLiteral("username")}));
}

TEST(UserProfileJson, ReadsNullAsAbsentIgnoresUnknownKeysAndRoundTrips)
{
    const UserProfile profile = VelmoraJSON::decode<UserProfile>(
        R"({"id":"P1","user_id":"U1","username":"ada","display_name":"Ada","bio":null,"avatar_url":"https://a/b.png",)"
        R"("twitter":"@ada","linkedin":"ada-l","website":"https://ada.example","followers":12})");
    EXPECT_EQ(profile.id, QStringLiteral("P1"));
    EXPECT_FALSE(profile.bio);
    EXPECT_EQ(profile.website, QStringLiteral("https://ada.example"));
    const QJsonObject written = profile.toJson().toObject();
    EXPECT_FALSE(written.contains(QStringLiteral("bio")));
    EXPECT_FALSE(written.contains(QStringLiteral("followers")));
    EXPECT_EQ(VelmoraJSON::decode<UserProfile>(VelmoraJSON::encodeCompact(written)), profile);
}

TEST(UserProfileJson, FailsWithoutARequiredKeyOrWithAWrongType)
{
    for (const char* key : {"user_id", "username", "display_name"}) {
        QJsonObject object = VelmoraJSON::parse(minimal).toObject();
        object.remove(QLatin1String(key));
        EXPECT_THROW(VelmoraJSON::decode<UserProfile>(VelmoraJSON::encodeCompact(object)), DecodingError) << key;
    }
    EXPECT_THROW(VelmoraJSON::decode<UserProfile>(R"({"user_id":"U1","username":"ada","display_name":"Ada","bio":7})"),
        DecodingError);
    EXPECT_THROW(
        VelmoraJSON::decode<UserProfile>(R"({"user_id":"U1","username":"ada","display_name":null})"), DecodingError);
}

TEST(UserProfileEquality, AnEmptyBioDiffersFromNoBio)
{
    UserProfile withoutBio = VelmoraJSON::decode<UserProfile>(minimal);
    UserProfile emptyBio = withoutBio;
    emptyBio.bio = QString();
    EXPECT_NE(withoutBio, emptyBio);
    UserProfile same = withoutBio;
    EXPECT_EQ(withoutBio, same);
    same.website = QStringLiteral("https://ada.example");
    EXPECT_NE(withoutBio, same);
}
