#pragma once

#include <QEasingCurve>

// The timing curves of the popover's layer transitions.
namespace Motion {

// The standard ease-out and ease-in timings (cubic Béziers 0, 0, 0.58, 1 and 0.42, 0, 1, 1).
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

} // namespace Motion
