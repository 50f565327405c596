#include "Views/MenuBar/achievements/BadgeIcon.h"

#include "Services/AchievementArt.h"
#include "Utilities/Theme.h"
#include "Views/Components/Motion.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/MenuBar/achievements/AchievementOrb.h"
#include "platform/MotionSettings.h"

#include <QPainter>
#include <QRadialGradient>
#include <QVariantAnimation>
#include <cmath>

BadgeIcon::BadgeIcon(const QString& achievementId, AchievementTier tier, const QString& icon, bool isLocked,
    bool isHidden, int size, QWidget* parent)
    : QWidget(parent)
    , m_id(achievementId)
    , m_tier(tier)
    , m_icon(icon)
    , m_locked(isLocked)
    , m_hidden(isHidden)
    , m_size(size)
{
    setAttribute(Qt::WA_TranslucentBackground);
    const int frame = int(std::ceil(size * glowScale));
    setMinimumSize(size, frame);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    connect(&MotionSettings::current(), &MotionSettings::reduceMotionChanged, this, [this](bool reduce) {
        if (reduce && m_animation) {
            m_animation->stop();
            m_phase = m_floating ? 1 : 0;
            update();
        }
    });
}

QString BadgeIcon::symbol() const
{
    if (m_locked)
        return QStringLiteral("lock.fill");
    if (m_hidden)
        return QStringLiteral("questionmark");
    return AchievementArt::sfSymbol(m_icon);
}

double BadgeIcon::floatingDelay() const
{
    return AchievementArt::hashIdx(m_id, 1000) / 1000.0 * period;
}

bool BadgeIcon::isAnimating() const
{
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

qreal BadgeIcon::floatOffset() const
{
    if (m_locked)
        return 0;
    // From +amplitude at rest to -amplitude up.
    return m_size * floatAmplitude * (1 - 2 * m_phase);
}

void BadgeIcon::setScale(qreal scale)
{
    m_scale = scale;
    update();
}

QSize BadgeIcon::sizeHint() const
{
    const int frame = int(std::ceil(m_size * glowScale));
    return QSize(frame, frame);
}

void BadgeIcon::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_locked || m_start.isPending() || m_floating)
        return;
    m_start = Scheduler::current().after(floatingDelay(), this, [this] { startFloating(); });
}

void BadgeIcon::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    stopFloating();
}

void BadgeIcon::startFloating()
{
    m_floating = true;
    if (Motion::reduced()) {
        m_phase = 1;
        update();
        return;
    }
    // One animation over the whole period: up in the first half, down in the second, each
    // half eased in and out.
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(int(period * 1000));
    animation->setLoopCount(-1);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        const double half = t < 0.5 ? t * 2 : 2 - t * 2;
        m_phase = Motion::easeInOut().valueForProgress(half);
        update();
    });
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void BadgeIcon::stopFloating()
{
    m_start.cancel();
    if (m_animation)
        m_animation->stop();
    m_floating = false;
    m_phase = 0;
}

void BadgeIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(m_scale, m_scale);
    painter.translate(-centre);
    if (m_locked)
        painter.setOpacity(0.4);
    else {
        // A blurred disc of the tier's glow, as a soft radial fade that stays inside the frame.
        const qreal radius = std::min(width(), height()) / 2.0;
        QColor glow = AchievementOrb::glowColor(m_tier);
        glow.setAlphaF(glow.alphaF() * 0.35f);
        QColor clear = glow;
        clear.setAlphaF(0);
        QRadialGradient gradient(centre, radius);
        gradient.setColorAt(0, glow);
        gradient.setColorAt(0.55, glow);
        gradient.setColorAt(1, clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(centre, radius, radius);
    }

    const QRectF orb(centre.x() - m_size / 2.0, centre.y() - m_size / 2.0 + floatOffset(), m_size, m_size);
    AchievementOrb::paint(painter, orb, m_tier, m_id, !m_locked);

    const qreal glyph = SymbolIcon::sideFor(m_size * 0.42);
    const QRectF box(orb.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph));
    // Only the locked orb is dimmed: its lock stays as readable as secondary text, where a
    // dimmed lock on a dimmed orb was light grey on near-white.
    painter.setOpacity(1.0);
    QColor ink = m_locked ? Theme::textSecondary() : QColor(Qt::white);
    if (!m_locked)
        ink.setAlphaF(0.95f);
    SymbolIcon::paint(painter, box, symbol(), ink, SymbolWeight::semibold);
}
