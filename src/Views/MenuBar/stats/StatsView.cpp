#include "Views/MenuBar/stats/StatsView.h"

#include "App/State/AppState.h"
#include "Services/AchievementCatalog.h"
#include "Services/AchievementListing.h"
#include "Utilities/Clock.h"
#include "Utilities/Theme.h"
#include "Utilities/TimeText.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/GroupedCard.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/ThemedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

ThemedLabel* sectionTitle(const QString& title, QWidget* parent)
{
    auto* label = new ThemedLabel(title.toUpper(), 11, QFont::Normal, &Theme::textMuted, parent);
    QFont font = label->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    label->setFont(font);
    label->setContentsMargins(0, 16, 0, 6);
    return label;
}

} // namespace

QString StatsView::calculationNote()
{
    return QStringLiteral("Based on average typing speed of ~40 WPM (3.3 characters per second). "
                          "Time saved = (expansion length \u2212 trigger length) \u00f7 3.3");
}

QString StatsView::citation()
{
    return QStringLiteral("Dhakal et al. (2018), \u201cObservations on Typing from 136 Million Keystrokes\u201d");
}

StatsView::StatsView(AppState& state, ScreenBinding screen, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_screen(std::move(screen))
{
    setObjectName(QStringLiteral("StatsView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(screenHeader(
        QStringLiteral("Stats"), [this] { m_screen.set(PopoverScreen::main()); }, this));
    auto* scroll = new OverlayScrollArea(this);
    layout->addWidget(scroll, 1);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 28, 18, 20);
    column->setSpacing(0);

    m_headline = new ThemedLabel(QString(), 36, QFont::Medium, &Theme::text, content);
    QFont big = m_headline->font();
    big.setLetterSpacing(QFont::AbsoluteSpacing, -1);
    m_headline->setFont(big);
    m_headline->setAlignment(Qt::AlignHCenter);
    column->addWidget(m_headline);
    column->addSpacing(2);
    auto* caption = new ThemedLabel(QStringLiteral("time saved"), 13, QFont::Light, &Theme::textMuted, content);
    caption->setAlignment(Qt::AlignHCenter);
    column->addWidget(caption);
    column->addSpacing(28);

    column->addWidget(sectionTitle(QStringLiteral("Overview"), content));
    auto* overview = new GroupedCard(content);
    m_expansions = addRow(overview, QStringLiteral("Expansions"));
    m_shortcuts = addRow(overview, QStringLiteral("Shortcuts"));
    m_folders = addRow(overview, QStringLiteral("Folders"));
    m_icons = addRow(overview, QStringLiteral("Custom icons"));
    column->addWidget(overview);

    column->addWidget(sectionTitle(QStringLiteral("Achievements"), content));
    auto* achievements = new GroupedCard(content);
    m_unlocked = addRow(achievements, QStringLiteral("Unlocked"));
    {
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(14, 13, 14, 13);
        line->addWidget(new ThemedLabel(QStringLiteral("Latest"), 13, QFont::Normal, &Theme::text, row));
        line->addStretch(1);
        m_latestName = new ThemedLabel(QString(), 13, QFont::Normal, &Theme::text, row);
        m_latestDate = new ThemedLabel(QString(), 12, QFont::Normal, &Theme::textMuted, row);
        line->addWidget(m_latestName);
        line->addWidget(m_latestDate);
        achievements->addRow(row);
    }
    column->addWidget(achievements);

    column->addWidget(sectionTitle(QStringLiteral("How we calculate"), content));
    auto* how = new GroupedCard(content);
    auto* note = new ThemedLabel(calculationNote(), 12, QFont::Light, &Theme::textSecondary);
    note->setWordWrap(true);
    note->setContentsMargins(14, 14, 14, 14);
    how->addRow(note);
    auto* cite = new ThemedLabel(citation(), 11, QFont::Light, &Theme::textMuted);
    QFont italic = cite->font();
    italic.setItalic(true);
    cite->setFont(italic);
    cite->setWordWrap(true);
    cite->setContentsMargins(14, 10, 14, 10);
    how->addRow(cite);
    column->addWidget(how);
    column->addStretch(1);
    scroll->setContent(content);

    refresh();
    connect(&m_state, &AppState::statsChanged, this, &StatsView::refresh);
    connect(&m_state, &AppState::userDataChanged, this, &StatsView::refresh);
}

ThemedLabel* StatsView::addRow(GroupedCard* card, const QString& label)
{
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(14, 13, 14, 13);
    line->addWidget(new ThemedLabel(label, 13, QFont::Normal, &Theme::text, row));
    line->addStretch(1);
    auto* value = new ThemedLabel(QString(), 13, QFont::Normal, &Theme::textMuted, row);
    value->setObjectName(label);
    line->addWidget(value);
    card->addRow(row);
    return value;
}

void StatsView::refresh()
{
    const Stats& stats = m_state.stats();
    const UserData& library = m_state.userData();
    m_headline->setText(TimeText::formatTimeLong(stats.totalTimeSaved));
    m_expansions->setText(QString::number(stats.totalExpansions));
    m_shortcuts->setText(QString::number(library.shortcuts.size()));
    m_folders->setText(QString::number(library.groups.size()));
    m_icons->setText(QString::number(library.customIcons.size()));
    m_unlocked->setText(
        QStringLiteral("%1 / %2").arg(AchievementListing::unlockedCount(stats)).arg(AchievementCatalog::all().size()));
    if (const auto latest = AchievementListing::latestUnlock(stats)) {
        m_latestName->setText(latest->achievement.name);
        m_latestName->setColor(&Theme::text);
        m_latestDate->setText(TimeText::relativeDate(latest->date, Clock::current().now()));
        m_latestDate->show();
    } else {
        m_latestName->setText(QStringLiteral("\u2014"));
        m_latestName->setColor(&Theme::textMuted);
        m_latestDate->clear();
        m_latestDate->hide();
    }
}

QString StatsView::headline() const
{
    return m_headline->text();
}

QString StatsView::rowValue(const QString& label) const
{
    if (label == QLatin1String("Latest"))
        return m_latestDate->text().isEmpty() ? m_latestName->text()
                                              : m_latestName->text() + u' ' + m_latestDate->text();
    for (ThemedLabel* value : {m_expansions, m_shortcuts, m_folders, m_icons, m_unlocked}) {
        if (value->objectName() == label)
            return value->text();
    }
    return {};
}
