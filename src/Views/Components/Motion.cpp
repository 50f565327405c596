#include "Views/Components/Motion.h"

#include "platform/MotionSettings.h"

#include <QPointF>
#include <QVariantAnimation>

#include <cmath>
#include <numbers>

namespace {
qreal springAt(qreal progress)
{
    constexpr double response = 0.3;
    constexpr double damping = 0.8;
    const double omega = 2 * std::numbers::pi / response;
    const double dampedOmega = omega * std::sqrt(1 - damping * damping);
    const double t = progress * Motion::springSeconds;
    if (progress >= 1)
        return 1;
    return 1
        - std::exp(-damping * omega * t)
        * (std::cos(dampedOmega * t) + damping * omega / dampedOmega * std::sin(dampedOmega * t));
}

QEasingCurve bezier(QPointF first, QPointF second)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(first, second, QPointF(1, 1));
    return curve;
}
} // namespace

QEasingCurve Motion::easeOut()
{
    return bezier(QPointF(0, 0), QPointF(0.58, 1));
}

QEasingCurve Motion::easeIn()
{
    return bezier(QPointF(0.42, 0), QPointF(1, 1));
}

QEasingCurve Motion::easeInOut()
{
    return bezier(QPointF(0.42, 0), QPointF(0.58, 1));
}

QEasingCurve Motion::spring()
{
    QEasingCurve curve;
    curve.setCustomType(&springAt);
    return curve;
}

bool Motion::reduced()
{
    return MotionSettings::current().reduceMotion();
}

QVariantAnimation* Motion::easeOutTransition(QObject* owner, qreal from, qreal to, double seconds, bool instant,
    std::function<void(qreal)> apply, std::function<void()> done)
{
    if (instant || reduced()) {
        apply(to);
        if (done)
            done();
        return nullptr;
    }
    auto* animation = new QVariantAnimation(owner);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(int(seconds * 1000));
    animation->setEasingCurve(easeOut());
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner,
        [apply = std::move(apply)](const QVariant& value) { apply(value.toReal()); });
    if (done)
        QObject::connect(animation, &QVariantAnimation::finished, owner, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}
