#include "Views/MenuBar/achievements/AchievementsView.h"

#include "App/State/AppState.h"
#include "Services/AchievementCatalog.h"
#include "Utilities/Clock.h"
#include "Utilities/Theme.h"
#include "Utilities/TimeText.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/GroupedCard.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/achievements/BadgeCard.h"
#include "Views/MenuBar/achievements/BadgeIcon.h"
#include "Views/MenuBar/achievements/DetailOverlay.h"
#include "Views/MenuBar/achievements/DetailSheet.h"
#include "Views/MenuBar/achievements/FilterChip.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

using namespace AchievementListing;

namespace {

// A section heading: upper case, small and muted, spaced out a little.
ThemedLabel* sectionHeading(const QString& title, QWidget* parent)
{
    auto* label = new ThemedLabel(title.toUpper(), 11, QFont::Normal, &Theme::textMuted, parent);
    QFont font = label->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    label->setFont(font);
    return label;
}

} // namespace

AchievementsView::AchievementsView(AppState& state, ScreenBinding screen, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_screen(std::move(screen))
    , m_scroll(new OverlayScrollArea(this))
{
    setObjectName(QStringLiteral("AchievementsView"));
    // A badge's detail lies over it.
    AccessibleRoles::hostModalLayers(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(screenHeader(
        QStringLiteral("Achievements"), [this] { m_screen.set(PopoverScreen::main()); }, this));
    layout->addWidget(m_scroll, 1);
    rebuild();
    // Everything shown follows the statistics and the library as they change.
    connect(&m_state, &AppState::statsChanged, this, &AchievementsView::rebuild);
    connect(&m_state, &AppState::userDataChanged, this, &AchievementsView::rebuild);
}

Filter AchievementsView::filter() const
{
    return filterFromRaw(QSettings().value(filterSettingsKey).toString());
}

void AchievementsView::chooseFilter(Filter filter)
{
    QSettings().setValue(filterSettingsKey, rawValue(filter));
    rebuild();
}

QString AchievementsView::summaryText() const
{
    return m_summary ? m_summary->text() : QString();
}

QList<BadgeCard*> AchievementsView::cards() const
{
    return m_content ? m_content->findChildren<BadgeCard*>() : QList<BadgeCard*>();
}

void AchievementsView::rebuild()
{
    const int scrolled = m_scroll->verticalScrollBar()->value();
    // The old content may hold the chip whose click led here: it goes once that click is over.
    if (QWidget* old = m_scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    QWidget* content = buildContent();
    m_scroll->setContent(content);
    m_content = content;
    m_scroll->verticalScrollBar()->setValue(scrolled);
    refreshDetail();
}

// An open sheet follows the statistics and the library like the page beneath it.
void AchievementsView::refreshDetail()
{
    if (!m_detailId || !m_overlay || m_overlay->isLeaving())
        return;
    const Achievement& shown = m_overlay->sheet()->achievement();
    const Stats& stats = m_state.stats();
    const std::optional<AchievementProgress> now = progress(shown, stats, m_state.userData());
    if (!m_overlay->sheet()->shows(unlockDate(stats, shown.id), now))
        m_overlay->replaceSheet(makeSheet(shown));
}

DetailSheet* AchievementsView::makeSheet(const Achievement& achievement)
{
    const Stats& stats = m_state.stats();
    return new DetailSheet(achievement, unlockDate(stats, achievement.id),
        progress(achievement, stats, m_state.userData()), [this] { closeDetail(); });
}

QWidget* AchievementsView::buildContent()
{
    const Stats& stats = m_state.stats();
    const Filter current = filter();
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 0, 18, 20);
    column->setSpacing(0);

    m_summary = new ThemedLabel(
        QStringLiteral("%1 / %2 unlocked").arg(unlockedCount(stats)).arg(AchievementCatalog::all().size()), 13,
        QFont::Light, &Theme::textMuted, content);
    m_summary->setContentsMargins(0, 4, 0, 12);
    column->addWidget(m_summary);

    auto* chips = new QHBoxLayout;
    chips->setSpacing(6);
    chips->setContentsMargins(0, 0, 0, 14);
    m_chips.clear();
    for (Filter choice : {Filter::all, Filter::unlocked, Filter::locked}) {
        auto* chip = new FilterChip(label(choice), content);
        chip->setChecked(choice == current);
        connect(chip, &FilterChip::clicked, this, [this, choice] { chooseFilter(choice); });
        chips->addWidget(chip);
        m_chips.append(chip);
    }
    chips->addStretch(1);
    column->addLayout(chips);

    m_sectionTitles.clear();
    const QList<Section> listed = sections(stats, current);
    for (qsizetype s = 0; s < listed.size(); ++s) {
        const Section& section = listed[s];
        m_sectionTitles.append(section.title);
        if (s > 0)
            column->addSpacing(18);
        column->addWidget(sectionHeading(section.title, content));
        column->addSpacing(10);
        auto* grid = new QGridLayout;
        grid->setSpacing(0);
        grid->setColumnStretch(0, 1);
        grid->setColumnStretch(1, 1);
        for (qsizetype i = 0; i < section.items.size(); ++i) {
            const Achievement& a = section.items[i];
            auto* card = new BadgeCard(a, unlockDate(stats, a.id), progress(a, stats, m_state.userData()), content);
            connect(card, &BadgeCard::clicked, this, [this, a] { openDetail(a); });
            grid->addWidget(card, int(i / 2), int(i % 2));
        }
        column->addLayout(grid);
    }

    const QList<Unlock> recent = recentlyUnlocked(stats, recentLimit);
    m_recentNames.clear();
    if (!recent.isEmpty())
        column->addWidget(buildRecentList(recent));
    column->addStretch(1);
    return content;
}

QWidget* AchievementsView::buildRecentList(const QList<Unlock>& recent)
{
    auto* block = new QWidget;
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 18, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(sectionHeading(QStringLiteral("Recently unlocked"), block));
    auto* card = new GroupedCard(block);
    const QDateTime now = Clock::current().now();
    for (const Unlock& unlock : recent) {
        m_recentNames.append(unlock.achievement.name);
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(14, 10, 14, 10);
        line->setSpacing(10);
        auto* icon = new BadgeIcon(
            unlock.achievement.id, unlock.achievement.tier, unlock.achievement.icon, false, false, 22, row);
        icon->setFixedSize(icon->sizeHint());
        line->addWidget(icon);
        auto* name = new ThemedLabel(unlock.achievement.name, 13, QFont::Normal, &Theme::text, row);
        line->addWidget(name);
        line->addStretch(1);
        line->addWidget(
            new ThemedLabel(TimeText::relativeDate(unlock.date, now), 12, QFont::Light, &Theme::textMuted, row));
        card->addRow(row);
    }
    layout->addWidget(card);
    return block;
}

void AchievementsView::openDetail(const Achievement& achievement)
{
    if (m_overlay && !m_overlay->isLeaving())
        return;
    m_detailId = achievement.id;
    m_overlay = new DetailOverlay(
        makeSheet(achievement), [this] { closeDetail(); }, this);
    m_overlay->present();
}

void AchievementsView::closeDetail()
{
    if (!m_detailId)
        return;
    m_detailId.reset();
    // The sheet gives the keyboard back to the badge that opened it; the page takes it only
    // when that badge is gone.
    if (m_overlay)
        m_overlay->leave();
    m_overlay = nullptr;
    const QWidget* focus = window()->focusWidget();
    if (!focus || !focus->isVisible() || (focus != this && !isAncestorOf(focus)))
        setFocus(Qt::OtherFocusReason);
}

std::optional<QString> AchievementsView::detailId() const
{
    return m_detailId;
}

DetailSheet* AchievementsView::detailSheet() const
{
    return m_overlay ? m_overlay->sheet() : nullptr;
}

bool AchievementsView::event(QEvent* event)
{
    // An open sheet claims Escape before any shortcut of the window sees it, so that Escape
    // closes the sheet and not the popover.
    if (event->type() == QEvent::ShortcutOverride && m_detailId) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void AchievementsView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_detailId) {
        closeDetail();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void AchievementsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_overlay)
        m_overlay->setGeometry(rect());
}
