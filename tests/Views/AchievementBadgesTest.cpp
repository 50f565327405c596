#include "AchievementFixture.h"
#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/achievements/AchievementOrb.h"
#include "Views/MenuBar/achievements/BadgeCard.h"
#include "Views/MenuBar/achievements/BadgeIcon.h"
#include "Views/MenuBar/achievements/BadgeProgressBar.h"
#include "Views/MenuBar/achievements/DetailSheet.h"

#include <QSignalSpy>
#include <QTest>

namespace {
const Achievement& byId(const char* id)
{
    return *AchievementCatalog::find(QString::fromLatin1(id));
}
const QDateTime unlockedAt(QDate(2026, 1, 5), QTime(9, 0));
} // namespace

TEST(AchievementOrb, IsADiscTransparentOutsideItsCircle)
{
    const QImage orb = AchievementOrb::image(AchievementTier::gold, QStringLiteral("volume_10k"), true, 80)
                           .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(orb.pixel(1, 1)), 0);
    EXPECT_EQ(qAlpha(orb.pixel(78, 78)), 0);
    EXPECT_EQ(qAlpha(orb.pixel(40, 40)), 255);
    EXPECT_EQ(qAlpha(orb.pixel(40, 2)), 255);
    // Lit at its upper left, shaded towards the rim.
    EXPECT_GT(qGray(orb.pixel(22, 20)), qGray(orb.pixel(40, 76)));
}

TEST(AchievementOrb, LockedOrbIsTheCardColourInEitherAppearance)
{
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        AppearanceGuard guard(appearance);
        const QImage orb = AchievementOrb::image(AchievementTier::platinum, QStringLiteral("volume_100k"), false, 60)
                               .convertToFormat(QImage::Format_ARGB32);
        EXPECT_TRUE(sameColour(orb.pixelColor(30, 30), Theme::bgCard()));
        EXPECT_TRUE(sameColour(orb.pixelColor(30, 5), Theme::bgCard()));
        EXPECT_EQ(qAlpha(orb.pixel(1, 1)), 0);
    }
}

TEST(AchievementOrb, OneAchievementAlwaysLooksTheSameAndTiersDiffer)
{
    const QImage first = AchievementOrb::image(AchievementTier::bronze, QStringLiteral("volume_1"), true, 40);
    EXPECT_EQ(first, AchievementOrb::image(AchievementTier::bronze, QStringLiteral("volume_1"), true, 40));
    EXPECT_NE(first, AchievementOrb::image(AchievementTier::silver, QStringLiteral("volume_1"), true, 40));
}

TEST(BadgeIcon, FloatsAfterItsOwnDelayUnlessLockedOrMotionIsReduced)
{
    ManualScheduler scheduler;
    ManualMotionSettings motion(false);
    BadgeIcon icon(
        QStringLiteral("volume_1"), AchievementTier::bronze, QStringLiteral("pencil-simple"), false, false, 60);
    EXPECT_NEAR(icon.floatingDelay(), 3.586, 1e-9);
    icon.show();
    scheduler.advance(3.5);
    EXPECT_FALSE(icon.isFloating());
    scheduler.advance(0.1);
    EXPECT_TRUE(icon.isFloating());
    EXPECT_TRUE(icon.isAnimating());

    motion.setReduceMotion(true);
    EXPECT_FALSE(icon.isAnimating());

    BadgeIcon still(
        QStringLiteral("volume_1"), AchievementTier::bronze, QStringLiteral("pencil-simple"), false, false, 60);
    still.show();
    scheduler.advance(6);
    EXPECT_TRUE(still.isFloating());
    EXPECT_FALSE(still.isAnimating());

    BadgeIcon locked(
        QStringLiteral("volume_1"), AchievementTier::bronze, QStringLiteral("pencil-simple"), true, false, 60);
    locked.show();
    scheduler.advance(6);
    EXPECT_FALSE(locked.isFloating());
    EXPECT_EQ(locked.floatOffset(), 0);
    EXPECT_EQ(locked.symbol(), QStringLiteral("lock.fill"));
}

TEST(BadgeCard, AMaskedAchievementShowsNeitherNameNorDescription)
{
    BadgeCard card(byId("egg_burst"), std::nullopt, std::nullopt);
    EXPECT_EQ(card.title(), QStringLiteral("???"));
    EXPECT_EQ(card.statusText(), QStringLiteral("Hidden"));
    EXPECT_EQ(card.icon()->symbol(), QStringLiteral("lock.fill"));
    EXPECT_FALSE(card.toolTip().contains(QStringLiteral("expansions")));
}

TEST(BadgeCard, AScreenReaderHearsWhatEarnsItAndItsStateAsSentencesEachEndedOnce)
{
    for (const Achievement& achievement : AchievementCatalog::all()) {
        for (const std::optional<QDateTime>& at : {std::optional<QDateTime>(), std::optional(unlockedAt)}) {
            const BadgeCard card(achievement, at, std::nullopt);
            const QString description = card.accessibleDescription();
            EXPECT_FALSE(description.contains(QStringLiteral(".."))) << description.toStdString();
            EXPECT_TRUE(description.endsWith(card.statusText())) << description.toStdString();
            EXPECT_TRUE(description.contains(QStringLiteral(". "))) << description.toStdString();
        }
    }
}

TEST(BadgeCard, ALockedAchievementShowsItsProgressOtherwiseItsState)
{
    BadgeCard withProgress(byId("volume_100"), std::nullopt, AchievementProgress{37, 100});
    ASSERT_TRUE(withProgress.progressBar());
    EXPECT_EQ(withProgress.progressBar()->text(), QStringLiteral("37 / 100"));
    EXPECT_DOUBLE_EQ(withProgress.progressBar()->fraction(), 0.37);
    EXPECT_EQ(withProgress.title(), QStringLiteral("Hundred Strong"));

    BadgeCard plain(byId("custom_color"), std::nullopt, std::nullopt);
    EXPECT_EQ(plain.statusText(), QStringLiteral("Locked"));

    BadgeCard unlocked(byId("volume_100"), unlockedAt, AchievementProgress{100, 100});
    EXPECT_FALSE(unlocked.progressBar());
    EXPECT_TRUE(unlocked.statusText().startsWith(QStringLiteral("Received ")));
    EXPECT_EQ(unlocked.icon()->symbol(), QStringLiteral("bolt.fill"));
}

TEST(BadgeCard, AClickOnItIsReportedAndHoverFollowsThePointer)
{
    Backdrop window(QSize(200, 260));
    auto* card = new BadgeCard(byId("volume_1"), unlockedAt, std::nullopt, &window);
    card->setGeometry(0, 0, 160, 250);
    window.show();
    QSignalSpy clicked(card, &BadgeCard::clicked);
    QTest::mouseClick(card, Qt::LeftButton, {}, QPoint(80, 200));
    EXPECT_EQ(clicked.count(), 1);

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(card, &enter);
    EXPECT_TRUE(card->isHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(card, &leave);
    EXPECT_FALSE(card->isHovered());
}

TEST(DetailSheet, ALockedAchievementShowsItsTierItsProgressAndLocked)
{
    DetailSheet sheet(byId("volume_10k"), std::nullopt, AchievementProgress{37, 10000}, {});
    EXPECT_EQ(sheet.tierLabel(), QStringLiteral("LOCKED \u00b7 GOLD"));
    EXPECT_EQ(sheet.metaLine(), QStringLiteral("Locked"));
    ASSERT_TRUE(sheet.progressBlock());
    EXPECT_EQ(sheet.progressBlock()->text(), QStringLiteral("37 / 10000"));
}

TEST(DetailSheet, AnUnlockedOneShowsItsDateAndNoProgress)
{
    DetailSheet sheet(byId("volume_100"), unlockedAt, AchievementProgress{100, 100}, {});
    EXPECT_EQ(sheet.title(), QStringLiteral("Hundred Strong"));
    EXPECT_EQ(sheet.tierLabel(), QStringLiteral("BRONZE"));
    EXPECT_TRUE(sheet.metaLine().startsWith(QStringLiteral("Unlocked ")));
    EXPECT_TRUE(sheet.metaLine().contains(QStringLiteral("2026")));
    EXPECT_FALSE(sheet.progressBlock());
}

TEST(DetailSheet, AMaskedOneHidesEverythingAndTheCloseButtonCloses)
{
    int closed = 0;
    DetailSheet sheet(byId("egg_burst"), std::nullopt, AchievementProgress{2, 5}, [&] { ++closed; });
    EXPECT_EQ(sheet.title(), QStringLiteral("???"));
    EXPECT_EQ(sheet.tierLabel(), QStringLiteral("HIDDEN"));
    EXPECT_EQ(sheet.description(), QStringLiteral("Hidden \u2014 keep going to discover this one."));
    EXPECT_EQ(sheet.metaLine(), QStringLiteral("Hidden"));
    EXPECT_FALSE(sheet.progressBlock());
    sheet.show();
    QTest::mouseClick(sheet.closeButton(), Qt::LeftButton);
    EXPECT_EQ(closed, 1);
}
