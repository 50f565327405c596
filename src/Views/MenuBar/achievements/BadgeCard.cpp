#include "Views/MenuBar/achievements/BadgeCard.h"

#include "Services/AchievementTexts.h"
#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/Motion.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/achievements/BadgeIcon.h"
#include "Views/MenuBar/achievements/BadgeProgressBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <cmath>

BadgeCard::BadgeCard(const Achievement& achievement, const std::optional<QDateTime>& unlockedAt,
    const std::optional<AchievementProgress>& progress, QWidget* parent)
    : QWidget(parent)
    , m_achievement(achievement)
    , m_unlockedAt(unlockedAt)
    , m_icon(new BadgeIcon(achievement.id, achievement.tier, achievement.icon, !unlockedAt,
          AchievementTexts::isMasked(achievement, unlockedAt), iconSize, this))
    , m_title(new ThemedLabel(AchievementTexts::title(achievement, unlockedAt), 13, QFont::Medium,
          unlockedAt ? &Theme::text : &Theme::textMuted, this))
{
    setFocusPolicy(Qt::TabFocus);
    // One badge of the grid, read by its name, with what earns it and how far along it is.
    AccessibleRoles::setRole(this, QAccessible::ListItem);
    m_title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_title->setWordWrap(true);
    m_title->setMaximumHeight(m_title->fontMetrics().lineSpacing() * 2 + 2);

    // The glow spreads sideways; above and below it needs only the orb's float and a thin
    // halo, or a band of empty glow frame stands between a section's title and its badges.
    m_icon->setFixedHeight(int(std::ceil(iconSize * haloHeight)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 12);
    layout->setSpacing(8);
    layout->addWidget(m_icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(m_title);
    if (progress && !unlockedAt) {
        m_progressBar = new BadgeProgressBar(*progress, BadgeProgressBar::Style::card, this);
        texts->addWidget(m_progressBar);
    } else {
        m_status = new ThemedLabel(
            AchievementTexts::cardStatus(achievement, unlockedAt), 10, QFont::Normal, &Theme::textMuted, this);
        m_status->setAlignment(Qt::AlignHCenter);
        texts->addWidget(m_status);
    }
    layout->addLayout(texts);
    layout->addStretch(1);

    setToolTip(AchievementTexts::cardTooltip(achievement, unlockedAt));
    setAccessibleName(title());
    setAccessibleDescription(AchievementTexts::cardDescription(
        achievement, unlockedAt, m_progressBar ? m_progressBar->text() : statusText()));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QString BadgeCard::title() const
{
    return m_title->text();
}

QString BadgeCard::statusText() const
{
    return m_status ? m_status->text() : QString();
}

void BadgeCard::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void BadgeCard::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
}

void BadgeCard::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    const qreal target = hovered ? hoverScale : 1.0;
    if (m_hoverAnimation)
        m_hoverAnimation->stop();
    if (Motion::reduced()) {
        m_icon->setScale(target);
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(hovered ? 1.0 : hoverScale);
    animation->setEndValue(target);
    animation->setDuration(180);
    animation->setEasingCurve(Motion::easeOut());
    connect(animation, &QVariantAnimation::valueChanged, m_icon,
        [icon = m_icon](const QVariant& v) { icon->setScale(v.toReal()); });
    m_hoverAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void BadgeCard::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BadgeCard::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void BadgeCard::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void BadgeCard::paintEvent(QPaintEvent*)
{
    if (!showsKeyboardFocus(this))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(3, 3, -3, -3);
    painter.setPen(QPen(Theme::borderSelected(), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(ring, 12, 12);
}

void BadgeCard::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void BadgeCard::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}
