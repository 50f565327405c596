#include "Views/Components/ActivityIndicator.h"

#include "Utilities/Theme.h"
#include "Views/Components/Motion.h"

#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace {

constexpr int spokes = 8;
constexpr int turnMilliseconds = 800;

} // namespace

ActivityIndicator::ActivityIndicator(ThemeColor color, int side, QWidget* parent)
    : QWidget(parent)
    , m_color(color)
    , m_side(side)
    , m_turn(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(side, side);
    m_turn->setStartValue(0);
    m_turn->setEndValue(spokes);
    m_turn->setDuration(turnMilliseconds);
    m_turn->setLoopCount(-1);
    connect(m_turn, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const int step = value.toInt() % spokes;
        if (step != m_step) {
            m_step = step;
            update();
        }
    });
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void ActivityIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!Motion::reduced())
        m_turn->start();
}

void ActivityIndicator::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_turn->stop();
}

void ActivityIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    const qreal stroke = std::max(1.5, side / 9.0);
    painter.translate(QRectF(rect()).center());
    QColor color = m_color();
    for (int spoke = 0; spoke < spokes; ++spoke) {
        // The spoke at the current step is the darkest; the ones behind it fade.
        const int age = (m_step - spoke + spokes) % spokes;
        color.setAlphaF(m_color().alphaF() * (1.0 - 0.8 * age / double(spokes - 1)));
        painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap));
        const qreal angle = 2 * M_PI * spoke / spokes - M_PI / 2;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(direction * inner, direction * (outer - stroke / 2));
    }
}
