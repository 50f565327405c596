#include "Views/MenuBar/achievements/DetailSheet.h"

#include "Services/AchievementTexts.h"
#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/achievements/AchievementOrb.h"
#include "Views/MenuBar/achievements/BadgeIcon.h"
#include "Views/MenuBar/achievements/BadgeProgressBar.h"

#include <QPainter>
#include <QRadialGradient>
#include <QVBoxLayout>

DetailSheet::DetailSheet(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt,
    const std::optional<AchievementProgress>& progress, std::function<void()> onClose, QWidget* parent)
    : QWidget(parent)
    , m_achievement(achievement)
    , m_unlockedAt(unlockedAt)
    , m_shownProgress(progress)
    , m_onClose(std::move(onClose))
    , m_hero(new BadgeIcon(achievement.id, achievement.tier, achievement.icon, !unlockedAt,
          AchievementTexts::isMasked(achievement, unlockedAt), iconSize, this))
    , m_title(
          new ThemedLabel(AchievementTexts::title(achievement, unlockedAt), 17, QFont::DemiBold, &Theme::text, this))
    , m_tier(new ThemedLabel(
          AchievementTexts::tierLabel(achievement, unlockedAt).toUpper(), 9, QFont::Medium, &Theme::textMuted, this))
    , m_description(new ThemedLabel(
          AchievementTexts::sheetDescription(achievement, unlockedAt), 12, QFont::Normal, &Theme::textSecondary, this))
    , m_meta(new ThemedLabel(
          AchievementTexts::metaLine(achievement, unlockedAt), 10, QFont::Normal, &Theme::textMuted, this))
    , m_close(
          new SymbolButton(QStringLiteral("xmark"), 10, SymbolWeight::semibold, &Theme::textMuted, QSize(24, 24), this))
{
    setFixedWidth(sheetWidth);
    setAttribute(Qt::WA_TranslucentBackground);

    QFont tierFont = m_tier->font();
    tierFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    m_tier->setFont(tierFont);
    for (ThemedLabel* label : {m_title, m_tier, m_description, m_meta})
        label->setAlignment(Qt::AlignHCenter);
    m_title->setWordWrap(true);
    m_description->setWordWrap(true);

    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setAccessibleName(QStringLiteral("Close"));
    connect(m_close, &SymbolButton::clicked, this, [this] {
        if (m_onClose)
            m_onClose();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 22, 0, 18);
    layout->setSpacing(12);
    m_hero->setFixedHeight(heroSide);
    layout->addWidget(m_hero);
    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(m_title);
    names->addWidget(m_tier);
    layout->addLayout(names);
    auto* description = new QVBoxLayout;
    description->setContentsMargins(18, 0, 18, 0);
    description->addWidget(m_description);
    layout->addLayout(description);
    if (progress && !unlockedAt && !AchievementTexts::isMasked(achievement, unlockedAt)) {
        m_progress = new BadgeProgressBar(*progress, BadgeProgressBar::Style::sheet, this);
        layout->addWidget(m_progress);
    }
    layout->addWidget(m_meta);
    m_close->raise();
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QString DetailSheet::title() const
{
    return m_title->text();
}

QString DetailSheet::tierLabel() const
{
    return m_tier->text();
}

QString DetailSheet::description() const
{
    return m_description->text();
}

QString DetailSheet::metaLine() const
{
    return m_meta->text();
}

void DetailSheet::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_close->move(width() - 6 - m_close->width(), 6);
}

void DetailSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = continuousRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius);
    painter.fillPath(shape, Theme::bgCard());
    painter.fillPath(shape, Theme::surfaceGlass());
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 0.5));

    if (m_unlockedAt) {
        // The hero's own glow, wider and stronger than the badge's.
        painter.setClipPath(shape);
        const QPointF centre = QRectF(m_hero->geometry()).center();
        QColor glow = AchievementOrb::glowColor(m_achievement.tier);
        glow.setAlphaF(glow.alphaF() * 0.5f);
        QColor clear = glow;
        clear.setAlphaF(0);
        const qreal radius = heroSide / 2.0 + 22;
        QRadialGradient gradient(centre, radius);
        gradient.setColorAt(0, glow);
        gradient.setColorAt(0.45, glow);
        gradient.setColorAt(1, clear);
        painter.fillRect(rect(), gradient);
    }
}
