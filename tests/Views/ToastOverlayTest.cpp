#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Painting.h"

#include "Utilities/ToastManager.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/shell/ToastOverlay.h"

#include <QAnimationDriver>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// Animations move only when the test steps this clock.
class SteppedAnimationClock : public QAnimationDriver {
public:
    SteppedAnimationClock() { install(); }
    ~SteppedAnimationClock() override { uninstall(); }
    void step(qint64 milliseconds)
    {
        // An animation just started joins the timers on the next turn of the event loop.
        QCoreApplication::processEvents();
        m_elapsed += milliseconds;
        advance();
    }
    qint64 elapsed() const override { return m_elapsed; }

private:
    qint64 m_elapsed = 0;
};

class ToastOverlayTest : public ::testing::Test {
protected:
    ToastOverlayTest()
    {
        overlay = new ToastOverlay(toast, &window);
        overlay->setGeometry(window.rect());
        window.show();
    }

    QColor pixel(QPoint at) { return window.snapshot().pixelColor(at); }

    ManualScheduler scheduler;
    ManualMotionSettings motion{true};
    ToastManager toast;
    Backdrop window{QSize(340, 560)};
    ToastOverlay* overlay;
};

} // namespace

TEST_F(ToastOverlayTest, ShowsTheTextForItsDurationAndKeepsItWhileFading)
{
    EXPECT_FALSE(overlay->isToastShown());
    toast.show(QStringLiteral("Copied"), 1.8);
    EXPECT_TRUE(overlay->isToastShown());
    EXPECT_EQ(overlay->text(), QStringLiteral("Copied"));

    scheduler.advance(1.79);
    EXPECT_TRUE(overlay->isToastShown());
    scheduler.advance(0.02);
    EXPECT_FALSE(overlay->isToastShown());
    EXPECT_EQ(overlay->text(), QStringLiteral("Copied"));
    scheduler.advance(0.3);
    EXPECT_FALSE(toast.message());
    EXPECT_FALSE(overlay->isToastShown());
}

TEST_F(ToastOverlayTest, ANewToastReplacesTheTextAtOnceAndRunsItsOwnDuration)
{
    toast.show(QStringLiteral("First"), 1.8);
    scheduler.advance(1.0);
    toast.show(QStringLiteral("Second"), 1.8);
    EXPECT_EQ(overlay->text(), QStringLiteral("Second"));
    scheduler.advance(1.0);
    EXPECT_TRUE(overlay->isToastShown());
    scheduler.advance(0.81);
    EXPECT_FALSE(overlay->isToastShown());
}

TEST_F(ToastOverlayTest, AToastShownWhileTheLastOneFadesComesBackWithTheNewText)
{
    toast.show(QStringLiteral("First"), 1.8);
    scheduler.advance(1.9);
    ASSERT_FALSE(overlay->isToastShown());
    toast.show(QStringLiteral("Second"), 1.8);
    EXPECT_TRUE(overlay->isToastShown());
    scheduler.advance(1.0);
    EXPECT_EQ(overlay->text(), QStringLiteral("Second"));
    EXPECT_TRUE(overlay->isToastShown());
}

TEST_F(ToastOverlayTest, DrawsADarkCapsuleSixteenPixelsAboveTheBottomEdge)
{
    toast.show(QStringLiteral("Folder created"), 1.8);
    const QRect capsule = overlay->capsuleRect();
    EXPECT_EQ(capsule.bottom() + 1, 560 - 16);
    EXPECT_EQ(capsule.left(), 340 - capsule.right() - 1);
    EXPECT_EQ(capsule.height(), QFontMetrics(uiFont(12, QFont::Medium)).height() + 18);
    // Inside the capsule, away from the text: the toast colour; above it: the backdrop.
    EXPECT_TRUE(
        sameColour(pixel(QPoint(capsule.left() + capsule.height() / 2, capsule.top() + 3)), Theme::toastBg(), 6));
    EXPECT_TRUE(sameColour(pixel(QPoint(capsule.center().x(), capsule.top() - 12)), Backdrop::colour(), 6));

    scheduler.advance(2.2);
    EXPECT_TRUE(
        sameColour(pixel(QPoint(capsule.left() + capsule.height() / 2, capsule.top() + 3)), Backdrop::colour()));
}

TEST_F(ToastOverlayTest, ALongMessageWrapsInsideThePopoverInsteadOfBeingCut)
{
    toast.show(QStringLiteral("Library contains a missing parent or circular folder relationship."), 1.8);
    const QRect capsule = overlay->capsuleRect();
    EXPECT_LE(capsule.width(), 340 - 32);
    EXPECT_GT(capsule.height(), QFontMetrics(uiFont(12, QFont::Medium)).height() + 18);
}

TEST_F(ToastOverlayTest, ClicksOnAVisibleToastReachTheWidgetBeneath)
{
    auto* beneath = new QPushButton(QStringLiteral("List"), &window);
    beneath->setGeometry(0, 400, 340, 160);
    beneath->show();
    overlay->raise();
    toast.show(QStringLiteral("Copied"), 1.8);
    EXPECT_EQ(window.childAt(overlay->capsuleRect().center()), beneath);
}

TEST_F(ToastOverlayTest, RisesFromBelowTheEdgeWhenMotionIsAllowed)
{
    motion.setReduceMotion(false);
    toast.show(QStringLiteral("Copied"), 1.8);
    const QRect capsule = overlay->capsuleRect();
    // At the first frame nothing of the capsule is in place yet.
    EXPECT_TRUE(
        sameColour(pixel(QPoint(capsule.left() + capsule.height() / 2, capsule.top() + 3)), Backdrop::colour()));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return sameColour(
                pixel(QPoint(capsule.left() + capsule.height() / 2, capsule.top() + 3)), Theme::toastBg(), 6);
        },
        2000));
}

TEST_F(ToastOverlayTest, LeavesSlowlyAtFirstAndIsGoneBeforeItsTextIsCleared)
{
    SteppedAnimationClock clock;
    motion.setReduceMotion(false);
    toast.show(QStringLiteral("Copied"), 1.8);
    clock.step(0);
    clock.step(1000);
    ASSERT_DOUBLE_EQ(overlay->presence(), 1.0);

    scheduler.advance(1.8);
    clock.step(int(ToastOverlay::hideSeconds * 500));
    EXPECT_GT(overlay->presence(), 0.6) << "eased in: half the time, less than half the way";
    clock.step(int(ToastOverlay::hideSeconds * 500));
    EXPECT_DOUBLE_EQ(overlay->presence(), 0.0);
    EXPECT_TRUE(toast.message().has_value());
}
