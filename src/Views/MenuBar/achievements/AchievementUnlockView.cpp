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
#include <QPixmap>
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
        const Look before = look();
        m_slide = t;
        // The end of the ease moves less than a pixel and a shade: those frames are left out.
        if (look() != before)
            update();
    });
    m_pendingUnlock = Scheduler::current().after(lockHold, this, [this] { unlock(); });
    scheduleDismiss(lockHold + unlockedHold);
}

void AchievementUnlockView::unlock()
{
    m_phase = Phase::unlocked;
    animate(0.5, Motion::spring(), [this](qreal t) {
        const Look before = look();
        m_unlock = t;
        // The spring settles over more than half of its time by less than a pixel and a
        // shade: those frames would be drawn the same and are left out.
        if (look() != before)
            updateOrb();
    });
    updateOrb();
}

AchievementUnlockView::Look AchievementUnlockView::look() const
{
    const qreal shown = std::clamp(m_unlock, 0.0, 1.0);
    const auto shade = [](qreal opacity) { return int(std::lround(opacity * 255)); };
    return Look{int(std::round((1 - m_slide) * slideDistance)), shade(m_slide), shade(m_slide * shown),
        shade(m_slide * (0.85 + 0.15 * shown)), symbolSide()};
}

int AchievementUnlockView::symbolSide() const
{
    return std::max(1, int(std::lround(SymbolIcon::sideFor(32) * (0.92 + 0.08 * m_unlock))));
}

void AchievementUnlockView::updateOrb()
{
    // Only the orb and its glow change as it unlocks, once the banner stands in place.
    if (m_slide < 1 || m_layers.size != size()) {
        update();
        return;
    }
    update(glowArea(m_layers.layout).adjusted(-1, -1, 1, 1));
}

QRect AchievementUnlockView::glowArea(const Layout& layout)
{
    return QRectF(layout.orbCentre - QPointF(56, 56), QSizeF(112, 112)).toAlignedRect();
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

AchievementUnlockView::Layout AchievementUnlockView::layout() const
{
    Layout l;
    l.card = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    l.nameFont = uiFont(13, QFont::Medium);
    l.noteFont = uiFont(9);
    l.noteFont.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    const QRectF textArea = l.card.adjusted(12, 14, -12, -14);
    const QRectF nameBounds
        = QFontMetricsF(l.nameFont).boundingRect(textArea, Qt::AlignHCenter | Qt::TextWordWrap, m_achievement.name);
    const qreal noteHeight = QFontMetricsF(l.noteFont).height();
    const qreal stack = 110 + 12 + nameBounds.height() + 4 + noteHeight;
    const qreal top = l.card.center().y() - stack / 2;
    l.orbCentre = QPointF(l.card.center().x(), top + 55);
    l.name = QRectF(textArea.left(), top + 122, textArea.width(), nameBounds.height());
    l.note = QRectF(textArea.left(), l.name.bottom() + 4, textArea.width(), noteHeight);
    return l;
}

QPixmap AchievementUnlockView::drawn(
    const QRect& area, qreal pixelRatio, const std::function<void(QPainter&)>& paint) const
{
    QPixmap picture(area.size() * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-area.topLeft());
    paint(painter);
    return picture;
}

void AchievementUnlockView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // What does not move is drawn once and then copied at each frame of the entrance and of
    // the unlocking, at whole pixels and each part only over its own area: laying out the text
    // and filling the card and the glow at every frame cost more than an expansion.
    const qreal pixelRatio = painter.device()->devicePixelRatioF();
    const QColor cardColor = Theme::toastBg();
    if (m_layers.pixelRatio != pixelRatio || m_layers.cardColor != cardColor || m_layers.size != size()) {
        m_layers = Layers();
        m_layers.pixelRatio = pixelRatio;
        m_layers.cardColor = cardColor;
        m_layers.size = size();
        m_layers.layout = layout();
    }
    const Layout& l = m_layers.layout;
    const bool unlocked = m_phase == Phase::unlocked;
    const QRectF orb(l.orbCentre - QPointF(40, 40), QSizeF(80, 80));
    const auto paintCard = [&](QPainter& p) {
        p.fillPath(continuousRoundedRect(l.card, 12), cardColor);
        p.setPen(Qt::white);
        p.setFont(l.nameFont);
        p.drawText(l.name, Qt::AlignHCenter | Qt::TextWordWrap, m_achievement.name);
        QColor note(Qt::white);
        note.setAlphaF(0.55f);
        p.setPen(note);
        p.setFont(l.noteFont);
        p.drawText(l.note, Qt::AlignHCenter, QStringLiteral("ACHIEVEMENT UNLOCKED"));
    };
    if (!unlocked && m_layers.locked.isNull()) {
        m_layers.locked = drawn(rect(), pixelRatio, [&](QPainter& p) {
            paintCard(p);
            // The banner is dark in both appearances: the locked disc is a lighter grey that
            // stands out from the card, under a white lock that stands out from the disc.
            p.setPen(Qt::NoPen);
            p.setBrush(lockedDiscOver(cardColor));
            p.drawEllipse(orb);
            const qreal side = SymbolIcon::sideFor(32) * 0.92;
            SymbolIcon::paint(p, QRectF(l.orbCentre - QPointF(side / 2, side / 2), QSizeF(side, side)),
                QStringLiteral("lock.fill"), Qt::white, SymbolWeight::semibold);
        });
    }
    const QRect glowArea = AchievementUnlockView::glowArea(l);
    const QRect orbArea = orb.adjusted(-1, -1, 1, 1).toAlignedRect();
    if (unlocked && m_layers.card.isNull()) {
        m_layers.card = drawn(rect(), pixelRatio, paintCard);
        m_layers.glow = drawn(glowArea, pixelRatio, [&](QPainter& p) {
            QColor glow = AchievementOrb::glowColor(m_achievement.tier);
            glow.setAlphaF(glow.alphaF() * 0.5f);
            QColor clear = glow;
            clear.setAlphaF(0);
            QRadialGradient gradient(l.orbCentre, 55);
            gradient.setColorAt(0, glow);
            gradient.setColorAt(0.5, glow);
            gradient.setColorAt(1, clear);
            p.setPen(Qt::NoPen);
            p.setBrush(gradient);
            p.drawEllipse(l.orbCentre, 55, 55);
        });
        m_layers.orb = drawn(orbArea, pixelRatio,
            [&](QPainter& p) { AchievementOrb::paint(p, orb, m_achievement.tier, m_achievement.id, true); });
    }

    painter.setOpacity(m_slide);
    painter.translate(std::round((1 - m_slide) * slideDistance), 0);
    if (!unlocked) {
        painter.drawPixmap(0, 0, m_layers.locked);
        return;
    }
    painter.drawPixmap(0, 0, m_layers.card);
    // The spring overshoots past 1 for the scale; an opacity stops at full.
    const qreal shown = std::clamp(m_unlock, 0.0, 1.0);
    painter.setOpacity(m_slide * shown);
    painter.drawPixmap(glowArea.topLeft(), m_layers.glow);
    painter.setOpacity(m_slide);
    painter.drawPixmap(orbArea.topLeft(), m_layers.orb);
    // The symbol grows to its full size and its ink brightens as the orb unlocks. It is drawn
    // once, white and at full size, and each frame scales it and fades it through the painter:
    // drawing it from its source at every frame's size and alpha cost most of the frame.
    const int fullSide = SymbolIcon::sideFor(32);
    if (m_layers.symbol.isNull())
        m_layers.symbol = SymbolIcon::pixmap(
            AchievementArt::sfSymbol(m_achievement.icon), fullSide, Qt::white, SymbolWeight::semibold, pixelRatio);
    const int side = symbolSide();
    const QPointF topLeft(std::round(l.orbCentre.x() - side / 2.0), std::round(l.orbCentre.y() - side / 2.0));
    painter.setOpacity(m_slide * (0.85 + 0.15 * shown));
    if (side == fullSide) {
        painter.drawPixmap(topLeft, m_layers.symbol);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRectF(topLeft, QSizeF(side, side)), m_layers.symbol, QRectF(m_layers.symbol.rect()));
    }
}
