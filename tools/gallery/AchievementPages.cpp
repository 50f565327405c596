// Gallery pages of the statistics and achievements screens, the detail sheet and the
// unlock banner.

#include "Gallery.h"
#include "SamplePopover.h"

#include "Models/VelmoraJSON.h"
#include "Services/AchievementCatalog.h"
#include "Services/AchievementEngine.h"
#include "Views/MenuBar/achievements/AchievementUnlockView.h"
#include "Views/MenuBar/achievements/AchievementsView.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>

namespace {

Stats sampleStats()
{
    const QDateTime now = QDateTime::currentDateTime();
    Stats stats = Stats::empty();
    stats.totalTimeSaved = 5432.7;
    stats.totalExpansions = 1234;
    stats.streak.current = 4;
    stats.streak.longest = 5;
    stats.firstUseFlags = {AchievementEngine::migrationFlag, QStringLiteral("discovery_search")};
    const auto stamp = [&](const char* id, qint64 secondsAgo) {
        stats.unlocked.insert(QString::fromLatin1(id), now.addSecs(-secondsAgo));
    };
    stamp("volume_1", 40 * 86400);
    stamp("volume_100", 12 * 86400);
    stamp("library_first", 40 * 86400);
    stamp("folder_first", 39 * 86400);
    stamp("custom_color", 39 * 86400);
    stamp("egg_sig", 38 * 86400);
    stamp("discovery_search", 9 * 86400);
    stamp("streak_3", 3 * 86400);
    stamp("time_1h", 2 * 3600);
    stamp("volume_1k", 5 * 60);
    return stats;
}

void withProgress(const QString& folder)
{
    writeSampleFile(folder, QStringLiteral("data.json"), VelmoraJSON::encode(sampleLibrary()));
    writeSampleFile(folder, QStringLiteral("stats.json"), VelmoraJSON::encode(sampleStats()));
}

void withNothing(const QString& folder)
{
    Stats stats = Stats::empty();
    stats.firstUseFlags = {AchievementEngine::migrationFlag};
    writeSampleFile(folder, QStringLiteral("stats.json"), VelmoraJSON::encode(stats));
}

AchievementsView* achievementsScreen(SamplePopover* page)
{
    return page->popover()->findChild<AchievementsView*>();
}

QWidget* buildStats(Appearance)
{
    return new SamplePopover(&withProgress, PopoverScreen::stats());
}

QWidget* buildEmptyStats(Appearance)
{
    return new SamplePopover(&withNothing, PopoverScreen::stats());
}

QWidget* buildAchievements(Appearance)
{
    return new SamplePopover(&withProgress, PopoverScreen::achievements());
}

// The page scrolled to its end.
SamplePopover* scrolledToEnd(SamplePopover* page)
{
    if (auto* scroll = page->popover()->findChild<QScrollArea*>()) {
        scroll->widget()->adjustSize();
        scroll->verticalScrollBar()->setRange(0, scroll->widget()->height());
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    }
    return page;
}

QWidget* buildStatsEnd(Appearance)
{
    return scrolledToEnd(new SamplePopover(&withProgress, PopoverScreen::stats()));
}

// Down to the hidden badges and the recent list.
QWidget* buildAchievementsEnd(Appearance)
{
    return scrolledToEnd(new SamplePopover(&withProgress, PopoverScreen::achievements()));
}

QWidget* buildLockedFilter(Appearance)
{
    auto* page = new SamplePopover(&withProgress, PopoverScreen::achievements());
    achievementsScreen(page)->chooseFilter(AchievementListing::Filter::locked);
    return page;
}

QWidget* buildDetail(const char* id)
{
    auto* page = new SamplePopover(&withProgress, PopoverScreen::achievements());
    achievementsScreen(page)->openDetail(*AchievementCatalog::find(QString::fromLatin1(id)));
    return page;
}

QWidget* buildBanner(Appearance)
{
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(0);
    auto* locked = new AchievementUnlockView(*AchievementCatalog::find(QStringLiteral("volume_1k")), {}, page);
    auto* unlocked = new AchievementUnlockView(*AchievementCatalog::find(QStringLiteral("time_1h")), {}, page);
    auto* platinum = new AchievementUnlockView(*AchievementCatalog::find(QStringLiteral("egg_night_owl")), {}, page);
    for (AchievementUnlockView* banner : {locked, unlocked, platinum}) {
        banner->start();
        row->addWidget(banner);
    }
    unlocked->unlock();
    platinum->unlock();
    page->setFixedSize(3 * AchievementUnlockView::panelWidth + 20, AchievementUnlockView::panelHeight + 20);
    return page;
}

const GalleryPageRegistration stats(QStringLiteral("stats-screen"), &buildStats);
const GalleryPageRegistration statsEnd(QStringLiteral("stats-screen-end"), &buildStatsEnd);
const GalleryPageRegistration emptyStats(QStringLiteral("stats-screen-empty"), &buildEmptyStats);
const GalleryPageRegistration achievements(QStringLiteral("achievements-screen"), &buildAchievements);
const GalleryPageRegistration achievementsEnd(QStringLiteral("achievements-screen-end"), &buildAchievementsEnd);
const GalleryPageRegistration lockedFilter(QStringLiteral("achievements-screen-locked"), &buildLockedFilter);
const GalleryPageRegistration detail(
    QStringLiteral("achievement-detail-unlocked"), [](Appearance) { return buildDetail("volume_1k"); });
const GalleryPageRegistration lockedDetail(
    QStringLiteral("achievement-detail-locked"), [](Appearance) { return buildDetail("volume_10k"); });
const GalleryPageRegistration hiddenDetail(
    QStringLiteral("achievement-detail-hidden"), [](Appearance) { return buildDetail("egg_burst"); });
const GalleryPageRegistration banner(QStringLiteral("achievement-banner"), &buildBanner);

} // namespace
