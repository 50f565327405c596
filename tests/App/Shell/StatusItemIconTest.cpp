#include "App/State/StatusItemIcon.h"

#include <gtest/gtest.h>

namespace {

// The point of the mark's design box (160 by 144 units, v counted upwards) in an icon of
// `pixels` pixels.
QPoint designPoint(double u, double v, int pixels)
{
    const double scale = pixels / 18.0;
    const double side = pixels - 2 * 1.5 * scale;
    return QPoint(int(1.5 * scale + side * u / 160), int(1.5 * scale + side * (144 - v) / 144));
}

bool inked(const QImage& image, double u, double v)
{
    return qAlpha(image.pixel(designPoint(u, v, image.width()))) > 200;
}

TEST(StatusItemIcon, IsAnEighteenPixelMarkWithAFreeBorder)
{
    const QImage image = StatusItemIcon::image(18, Qt::black, Qt::transparent);
    EXPECT_EQ(image.size(), QSize(18, 18));
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(qAlpha(image.pixel(i, 0)), 0) << i;
        EXPECT_EQ(qAlpha(image.pixel(0, i)), 0) << i;
    }
}

TEST(StatusItemIcon, FillsTheBarsAndTheColumnAndLeavesTheNotchOpen)
{
    const QImage image = StatusItemIcon::image(180, Qt::black, Qt::transparent);
    EXPECT_TRUE(inked(image, 60, 125)) << "top bar";
    EXPECT_TRUE(inked(image, 145, 72)) << "right column";
    EXPECT_TRUE(inked(image, 60, 15)) << "bottom bar";
    EXPECT_TRUE(inked(image, 20, 60)) << "left of the notch";
    EXPECT_FALSE(inked(image, 100, 50)) << "the notch is cut out by the even-odd rule";
    EXPECT_FALSE(inked(image, 20, 100)) << "the gap between the top bar and the slope";
    EXPECT_TRUE(inked(image, 90, 90)) << "under the slope";
}

TEST(StatusItemIcon, TheOutlineUsesTheEvenOddRule)
{
    const QPainterPath path = StatusItemIcon::path(QRectF(0, 0, 18, 18));
    EXPECT_EQ(path.fillRule(), Qt::OddEvenFill);
    EXPECT_EQ(path.boundingRect(), QRectF(1.5, 1.5, 15, 15));
}

TEST(StatusItemIcon, IsDrawnInTheColourAskedFor)
{
    const QImage image = StatusItemIcon::image(180, QColor(0xF5, 0xF5, 0xF5), Qt::transparent);
    EXPECT_EQ(QColor(image.pixel(designPoint(145, 72, 180))), QColor(0xF5, 0xF5, 0xF5));
}

} // namespace
