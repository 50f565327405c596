#include "Utilities/EmojiRecents.h"

#include "TempDir.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

QStringList emojiRun(int first, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QString::fromUcs4(std::u32string(1, char32_t(first + i)).c_str(), 1));
    return list;
}

const QString grinning = QStringLiteral("\U0001F600");
const QString rocket = QStringLiteral("\U0001F680");
const QString cat = QStringLiteral("\U0001F431");
const QString pizza = QStringLiteral("\U0001F355");

class EmojiRecentsTest : public ::testing::Test {
protected:
    // The test program keeps its settings in a private folder; each test starts without a list.
    void SetUp() override { QSettings().remove(EmojiRecents::settingsKey()); }

    void store(const QVariant& value) { QSettings().setValue(EmojiRecents::settingsKey(), value); }
    bool stored() const { return QSettings().contains(EmojiRecents::settingsKey()); }
};

// Runs the helper program in a process of its own with its settings in `configHome`.
QStringList runHelper(const QString& configHome, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMORA_EMOJI_RECENTS), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {QStringLiteral("helper failed")};
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TEST_F(EmojiRecentsTest, StartsEmpty)
{
    EXPECT_TRUE(EmojiRecents::load().isEmpty());
}

TEST_F(EmojiRecentsTest, KeepsNewestFirst)
{
    EmojiRecents::remember(grinning);
    EmojiRecents::remember(rocket);
    EmojiRecents::remember(cat);
    EXPECT_EQ(EmojiRecents::load(), (QStringList{cat, rocket, grinning}));
}

TEST_F(EmojiRecentsTest, RememberingTwentyFiveKeepsTheTwentyFourNewest)
{
    const QStringList emoji = emojiRun(0x1F600, 25);
    for (const QString& each : emoji)
        EmojiRecents::remember(each);
    QStringList newestFirst = emoji.mid(1);
    std::reverse(newestFirst.begin(), newestFirst.end());
    EXPECT_EQ(EmojiRecents::load(), newestFirst);
}

TEST_F(EmojiRecentsTest, RememberingAnEmojiAgainMovesItToTheFront)
{
    for (const QString& each : {pizza, cat, rocket, grinning})
        EmojiRecents::remember(each);
    ASSERT_EQ(EmojiRecents::load().at(2), cat);
    EmojiRecents::remember(cat);
    EXPECT_EQ(EmojiRecents::load(), (QStringList{cat, grinning, rocket, pizza}));
}

TEST_F(EmojiRecentsTest, AnEmptyEmojiIsIgnoredWithoutWriting)
{
    EmojiRecents::remember(QString());
    EXPECT_FALSE(stored());
}

TEST_F(EmojiRecentsTest, ALongerListWrittenElsewhereIsReadWholeAndCutAtTheNextPick)
{
    const QStringList thirty = emojiRun(0x1F400, 30);
    store(thirty);
    EXPECT_EQ(EmojiRecents::load(), thirty);
    EmojiRecents::remember(grinning);
    EXPECT_EQ(EmojiRecents::load(), QStringList{grinning} + thirty.mid(0, 23));
}

TEST_F(EmojiRecentsTest, AValueThatIsNotAListOfTextsReadsAsNoneAndIsReplaced)
{
    store(42);
    EXPECT_TRUE(EmojiRecents::load().isEmpty());
    store(QVariantList{grinning, 7});
    EXPECT_TRUE(EmojiRecents::load().isEmpty());
    EmojiRecents::remember(rocket);
    EXPECT_EQ(EmojiRecents::load(), QStringList{rocket});
}

TEST_F(EmojiRecentsTest, AStoredEmptyTextIsNoEmoji)
{
    store(QString());
    EXPECT_TRUE(EmojiRecents::load().isEmpty());
}

TEST(EmojiRecentsRestart, ASingleRememberedEmojiSurvivesARestart)
{
    const TempDir home;
    ASSERT_TRUE(runHelper(home.path(), {QStringLiteral("remember"), grinning}).isEmpty());
    EXPECT_EQ(runHelper(home.path(), {QStringLiteral("load")}), QStringList{grinning});
    ASSERT_TRUE(runHelper(home.path(), {QStringLiteral("remember"), rocket}).isEmpty());
    EXPECT_EQ(runHelper(home.path(), {QStringLiteral("load")}), (QStringList{rocket, grinning}));
}

TEST(EmojiRecentsRestart, AFullListSurvivesARestart)
{
    const TempDir home;
    const QStringList emoji = emojiRun(0x1F300, 24);
    ASSERT_TRUE(runHelper(home.path(), QStringList{QStringLiteral("remember")} + emoji).isEmpty());
    QStringList newestFirst = emoji;
    std::reverse(newestFirst.begin(), newestFirst.end());
    EXPECT_EQ(runHelper(home.path(), {QStringLiteral("load")}), newestFirst);
}
