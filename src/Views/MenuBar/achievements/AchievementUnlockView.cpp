#include "Views/MenuBar/achievements/AchievementUnlockView.h"

#include "Services/AchievementArt.h"
#include "Utilities/Notifications.h"
#include "Utilities/Theme.h"
#include "Views/Components/Motion.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ViewStyle.h"
#include "Views/Components/WindowShape.h"
#include "Views/MenuBar/achievements/AchievementOrb.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QTextOption>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace {
constexpr int inset = 8;
constexpr qreal slideDistance = 20;

QColor lockedDiscOver(const QColor& card)
{
    constexpr qreal whiteShare = 0.42;
    const auto mix = [](int channel) { return int(std::lround(255 * whiteShare + channel * (1 - whiteShare))); };
    return QColor(mix(card.red()), mix(card.green()), mix(card.blue()));
}
} // namespace

AchievementUnlockView::AchievementUnlockView(
    const Achievement& achievement, std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent)
    , m_achievement(achievement)
    , m_onDismiss(std::move(onDismiss))
{
    setFixedSize(panelWidth, panelHeight);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("Achievement Unlocked: ") + achievement.name);
}

QVariantAnimation* AchievementUnlockView::animate(
    double seconds, const QEasingCurve& curve, const std::function<void(qreal)>& apply)
{
    if (Motion::reduced()) {
        apply(1);
        return nullptr;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(int(seconds * 1000));
    animation->setEasingCurve(curve);
    connect(animation, &QVariantAnimation::valueChanged, this, [apply](const QVariant& v) { apply(v.toReal()); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

void AchievementUnlockView::start()
{
    animate(0.2, Motion::easeOut(), [this](qreal t) {
        m_slide = t;
        update();
    });
    m_pendingUnlock = Scheduler::current().after(lockHold, this, [this] { unlock(); });
    scheduleDismiss(lockHold + unlockedHold);
}

void AchievementUnlockView::unlock()
{
    m_phase = Phase::unlocked;
    animate(0.5, Motion::spring(), [this](qreal t) {
        m_unlock = t;
        update();
    });
    update();
}

void AchievementUnlockView::scheduleDismiss(double seconds)
{
    if (m_dismissed)
        return;
    cancelDismiss();
    m_pendingDismiss = Scheduler::current().after(seconds, this, [this] { dismiss(); });
}

void AchievementUnlockView::cancelDismiss()
{
    m_pendingDismiss.cancel();
    m_pendingDismiss = ScheduledTask();
}

void AchievementUnlockView::dismiss()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    cancelDismiss();
    m_pendingUnlock.cancel();
    if (m_onDismiss)
        m_onDismiss();
}

void AchievementUnlockView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (!m_dismissed)
        cancelDismiss();
}

void AchievementUnlockView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    scheduleDismiss(unlockedHold);
}

void AchievementUnlockView::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void AchievementUnlockView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (!click || m_dismissed)
        return;
    NotificationCenter::instance().post(Notifications::velmoraOpenAchievements);
    cancelDismiss();
    dismiss();
}

void AchievementUnlockView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    WindowShape::fit(*this, continuousRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 12));
}

void AchievementUnlockView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_slide);
    painter.translate((1 - m_slide) * slideDistance, 0);

    const QRectF card = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.fillPath(continuousRoundedRect(card, 12), Theme::toastBg());

    const bool unlocked = m_phase == Phase::unlocked;
    const QFont nameFont = uiFont(13, QFont::Medium);
    QFont noteFont = uiFont(9);
    noteFont.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    const QRectF textArea = card.adjusted(12, 14, -12, -14);
    const QRectF nameBounds
        = QFontMetricsF(nameFont).boundingRect(textArea, Qt::AlignHCenter | Qt::TextWordWrap, m_achievement.name);
    const qreal noteHeight = QFontMetricsF(noteFont).height();
    const qreal stack = 110 + 12 + nameBounds.height() + 4 + noteHeight;
    const qreal top = card.center().y() - stack / 2;

    const QPointF orbCentre(card.center().x(), top + 55);
    // The spring overshoots past 1 for the scale; an opacity stops at full.
    const qreal shown = std::clamp(m_unlock, 0.0, 1.0);
    if (unlocked) {
        QColor glow = AchievementOrb::glowColor(m_achievement.tier);
        glow.setAlphaF(glow.alphaF() * 0.5f * float(shown));
        QColor clear = glow;
        clear.setAlphaF(0);
        QRadialGradient gradient(orbCentre, 55);
        gradient.setColorAt(0, glow);
        gradient.setColorAt(0.5, glow);
        gradient.setColorAt(1, clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(orbCentre, 55, 55);
    }
    const QRectF orb(orbCentre - QPointF(40, 40), QSizeF(80, 80));
    if (unlocked) {
        AchievementOrb::paint(painter, orb, m_achievement.tier, m_achievement.id, true);
    } else {
        // The banner is dark in both appearances: the locked disc is a lighter grey that
        // stands out from the card, under a white lock that stands out from the disc.
        painter.setPen(Qt::NoPen);
        painter.setBrush(lockedDiscOver(Theme::toastBg()));
        painter.drawEllipse(orb);
    }

    const qreal scale = unlocked ? 0.92 + 0.08 * m_unlock : 0.92;
    const qreal side = SymbolIcon::sideFor(32) * scale;
    QColor ink(Qt::white);
    ink.setAlphaF(float(unlocked ? 0.85 + 0.15 * shown : 1.0));
    SymbolIcon::paint(painter, QRectF(orbCentre - QPointF(side / 2, side / 2), QSizeF(side, side)),
        unlocked ? AchievementArt::sfSymbol(m_achievement.icon) : QStringLiteral("lock.fill"), ink,
        SymbolWeight::semibold);

    painter.setPen(Qt::white);
    painter.setFont(nameFont);
    const QRectF nameRect(textArea.left(), top + 122, textArea.width(), nameBounds.height());
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::TextWordWrap, m_achievement.name);
    QColor note(Qt::white);
    note.setAlphaF(0.55f);
    painter.setPen(note);
    painter.setFont(noteFont);
    painter.drawText(QRectF(textArea.left(), nameRect.bottom() + 4, textArea.width(), noteHeight), Qt::AlignHCenter,
        QStringLiteral("ACHIEVEMENT UNLOCKED"));
}
