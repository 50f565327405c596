#pragma once

#include "Utilities/Theme.h"

#include <QColor>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

// Helpers for checking what widgets paint: a solid backdrop to paint on, the colour one
// layer gives over another, and a colour comparison that allows for rounding.

// A window of one opaque colour that holds the widgets under test.
class Backdrop : public QWidget {
public:
    static QColor colour() { return QColor(40, 90, 160); }

    explicit Backdrop(QSize size = QSize(300, 200))
    {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, colour());
        setPalette(palette);
        setAutoFillBackground(true);
        resize(size);
    }

    QImage snapshot() { return grab().toImage().convertToFormat(QImage::Format_ARGB32); }
};

// `top` drawn over an opaque `bottom`, with `opacity` applied to `top` as a whole.
inline QColor over(const QColor& top, const QColor& bottom, double opacity = 1.0)
{
    const double a = top.alphaF() * opacity;
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
        float(top.greenF() * a + bottom.greenF() * (1 - a)), float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

inline ::testing::AssertionResult sameColour(const QColor& actual, const QColor& expected, int tolerance = 2)
{
    const bool close = std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance;
    if (close)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "painted " << qPrintable(actual.name()) << ", expected "
                                         << qPrintable(expected.name());
}

// Restores the light appearance after a test that switches it.
class AppearanceGuard {
public:
    explicit AppearanceGuard(Appearance appearance) { Theme::setAppearance(appearance); }
    ~AppearanceGuard() { Theme::setAppearance(Appearance::light); }
};

// Shows `window` and makes it the active window, so that its widgets can take the focus.
inline bool showActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}
