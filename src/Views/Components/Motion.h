#pragma once

#include <QEasingCurve>
#include <functional>

class QObject;
class QVariantAnimation;

// The timing curves of the popover's layer transitions.
namespace Motion {

// The standard ease-out and ease-in timings (cubic Béziers 0, 0, 0.58, 1 and 0.42, 0, 1, 1):
// things come in decelerating and leave accelerating.
QEasingCurve easeOut();
QEasingCurve easeIn();
// Both ends eased (0.42, 0, 0.58, 1): the curve of motions that repeat back and forth.
QEasingCurve easeInOut();

// A spring with a response of 0.3 s and a damping fraction of 0.8, which overshoots a
// little and settles within `springSeconds`; as a curve over that time.
inline constexpr double springSeconds = 0.45;
QEasingCurve spring();

// Whether the desktop asks for reduced motion: transitions then take effect at once.
bool reduced();

// Moves a layer's progress from `from` to `to` over `seconds` on the ease-out curve, calling
// `apply` with each value and `done` at the end. Under reduced motion, or when `instant`, it
// applies `to` and ends at once and returns null; otherwise it returns the running animation,
// owned by `owner`, which deletes itself when it stops.
QVariantAnimation* easeOutTransition(QObject* owner, qreal from, qreal to, double seconds, bool instant,
    std::function<void(qreal)> apply, std::function<void()> done);

} // namespace Motion
