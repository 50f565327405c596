#include "Views/MenuBar/account/AccountAvatar.h"
#include "PictureSamples.h"
#include "TestBackend.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class AccountAvatarTest : public ::testing::Test {
protected:
    AuthUser userWithPicture(const QString& address) const
    {
        AuthUser user = backend.signingInUser();
        user.user_metadata = AuthUser::UserMetadata{QStringLiteral("Grace Hopper"), address};
        return user;
    }

    bool showUser(const AuthUser& user)
    {
        QSignalSpy settled(&avatar, &AccountAvatar::pictureSettled);
        avatar.setUser(user);
        return settled.wait(5000);
    }

    TestBackend backend;
    AccountAvatar avatar;
};

TEST_F(AccountAvatarTest, AnHttpsPictureReplacesTheInitial)
{
    avatar.setTransport(backend.transport());
    TestBackend::Fault answer;
    answer.body = pngPicture(QSize(64, 64));
    backend.failNext(QStringLiteral("/grace.png"), answer);

    ASSERT_TRUE(showUser(userWithPicture(backend.projectURL() + QStringLiteral("/grace.png"))));

    EXPECT_TRUE(avatar.showsPicture());
    EXPECT_EQ(avatar.initial(), QStringLiteral("G"));
}

TEST_F(AccountAvatarTest, ALocalFileOrCleartextAddressKeepsTheInitialAndFetchesNothing)
{
    avatar.setTransport(backend.transport());
    for (const QString& address : {QStringLiteral("file:///etc/hostname"), QStringLiteral("http://127.0.0.1/grace.png"),
             QStringLiteral("not a url")}) {
        ASSERT_TRUE(showUser(userWithPicture(address))) << address.toStdString();
        EXPECT_FALSE(avatar.showsPicture()) << address.toStdString();
    }
    EXPECT_TRUE(backend.requests().isEmpty());
}

} // namespace
