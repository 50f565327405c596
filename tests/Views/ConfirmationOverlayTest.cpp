#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "WidgetLookup.h"

#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ViewStyle.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

ConfirmationRequest deleteRequest()
{
    return {QStringLiteral("Delete shortcut?"), QStringLiteral("This action cannot be undone."),
        QStringLiteral("Delete"), QStringLiteral("trash"), true, {}};
}

class ConfirmationOverlayTest : public ::testing::Test {
protected:
    ConfirmationOverlay* present(const ConfirmationRequest& request = deleteRequest())
    {
        auto* overlay = new ConfirmationOverlay(
            request, [this] { ++confirmed; }, [this] { ++cancelled; }, &window);
        EXPECT_TRUE(showActive(window));
        overlay->present();
        return overlay;
    }

    void press(int key)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key(key));
    }

    ManualScheduler scheduler;
    ManualMotionSettings motion{true};
    Backdrop window{QSize(340, 560)};
    int confirmed = 0;
    int cancelled = 0;
};

} // namespace

TEST_F(ConfirmationOverlayTest, ReturnConfirmsWithoutTheMouse)
{
    present();
    press(Qt::Key_Return);
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(ConfirmationOverlayTest, EscapeCancels)
{
    present();
    press(Qt::Key_Escape);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(confirmed, 0);
}

TEST_F(ConfirmationOverlayTest, TheConfirmButtonTakesTheFocusAFiftiethOfASecondLater)
{
    ConfirmationOverlay* overlay = present();
    EXPECT_EQ(QApplication::focusWidget(), overlay);
    scheduler.advance(0.049);
    EXPECT_FALSE(overlay->confirmButton()->hasFocus());
    scheduler.advance(0.002);
    EXPECT_TRUE(overlay->confirmButton()->hasFocus());
    press(Qt::Key_Return);
    EXPECT_EQ(confirmed, 1);
}

TEST_F(ConfirmationOverlayTest, ReturnConfirmsEvenWhileCancelHasTheFocus)
{
    ConfirmationOverlay* overlay = present();
    overlay->cancelButton()->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(confirmed, 1);
}

TEST_F(ConfirmationOverlayTest, TabMovesBetweenTheTwoButtonsOnly)
{
    ConfirmationOverlay* overlay = present();
    scheduler.advance(0.05);
    press(Qt::Key_Tab);
    EXPECT_TRUE(overlay->cancelButton()->hasFocus());
    press(Qt::Key_Tab);
    EXPECT_TRUE(overlay->confirmButton()->hasFocus());
    press(Qt::Key_Backtab);
    EXPECT_TRUE(overlay->cancelButton()->hasFocus());
}

TEST_F(ConfirmationOverlayTest, TheButtonsAnswerWhenClicked)
{
    ConfirmationOverlay* overlay = present();
    QTest::mouseClick(overlay->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(cancelled, 1);

    ConfirmationOverlay* second = present();
    QTest::mouseClick(second->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(confirmed, 1);
}

TEST_F(ConfirmationOverlayTest, AClickOnTheBackdropCancelsAndAClickOnTheCardDoesNothing)
{
    ConfirmationOverlay* overlay = present();
    const QRect card = overlay->card()->geometry();
    QTest::mouseClick(overlay, Qt::LeftButton, Qt::NoModifier, QPoint(card.center().x(), card.top() + 8));
    EXPECT_EQ(cancelled, 0);
    QTest::mouseClick(overlay, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(confirmed, 0);
}

TEST_F(ConfirmationOverlayTest, AnswersOnlyOnce)
{
    ConfirmationOverlay* overlay = present();
    QTest::mouseClick(overlay->confirmButton(), Qt::LeftButton);
    QTest::mouseClick(overlay->confirmButton(), Qt::LeftButton);
    QTest::keyClick(overlay, Qt::Key_Escape);
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(ConfirmationOverlayTest, ShowsTheSymbolTitleMessageAndLabels)
{
    ConfirmationOverlay* overlay = present();
    EXPECT_EQ(visibleTexts(overlay),
        (QStringList{QStringLiteral("Delete shortcut?"), QStringLiteral("This action cannot be undone.")}));
    EXPECT_EQ(overlay->cancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(overlay->confirmButton()->text(), QStringLiteral("Delete"));
    const auto symbols = overlay->findChildren<SymbolLabel*>();
    ASSERT_EQ(symbols.size(), 1);
    EXPECT_EQ(symbols.first()->name(), QStringLiteral("trash"));
}

TEST_F(ConfirmationOverlayTest, WithoutSymbolOrMessageTheCardIsTheTitleAndTheButtons)
{
    ConfirmationOverlay* overlay
        = present({QStringLiteral("Delete?"), std::nullopt, QStringLiteral("Delete"), std::nullopt, true, {}});
    EXPECT_TRUE(overlay->findChildren<SymbolLabel*>().isEmpty());
    EXPECT_EQ(visibleTexts(overlay), QStringList{QStringLiteral("Delete?")});
    // Padding, title, spacing, the buttons' top padding and the buttons.
    const int title = QFontMetrics(uiFont(16, QFont::Medium)).height();
    EXPECT_EQ(overlay->card()->height(), 20 + title + 14 + 4 + 40 + 20);
}

TEST_F(ConfirmationOverlayTest, ALongMessageMakesTheCardTallerButNeverWider)
{
    const int shortHeight = present()->card()->height();
    ConfirmationRequest wordy = deleteRequest();
    wordy.message
        = QStringLiteral("All shortcuts inside this folder will be deleted too, and so will every folder below it "
                         "with everything in them. This can't be undone.");
    ConfirmationOverlay* overlay = present(wordy);
    EXPECT_EQ(overlay->card()->width(), 280);
    EXPECT_GT(overlay->card()->height(), shortHeight + 20);
    EXPECT_EQ(overlay->card()->geometry().center().x(), window.rect().center().x());
}

TEST_F(ConfirmationOverlayTest, TheButtonsShareTheRowAndAreFortyHigh)
{
    ConfirmationOverlay* overlay = present();
    EXPECT_EQ(overlay->cancelButton()->height(), 40);
    EXPECT_EQ(overlay->confirmButton()->height(), 40);
    EXPECT_EQ(overlay->cancelButton()->width(), overlay->confirmButton()->width());
    EXPECT_EQ(overlay->cancelButton()->width() * 2 + 8, 280 - 40);
}

TEST_F(ConfirmationOverlayTest, ALabelTooLongForHalfTheRowStacksTheButtonsConfirmFirst)
{
    ConfirmationOverlay* overlay
        = present({QStringLiteral("Open a fresh local library?"), QStringLiteral("Your files are kept first."),
            QStringLiteral("Save files and continue"), std::nullopt, false, {}});
    QAbstractButton* confirm = overlay->confirmButton();
    QAbstractButton* cancel = overlay->cancelButton();
    EXPECT_EQ(confirm->width(), 280 - 40);
    EXPECT_EQ(cancel->width(), 280 - 40);
    EXPECT_GE(confirm->width(), confirm->sizeHint().width());
    EXPECT_EQ(cancel->y(), confirm->y() + 40 + 8);
    EXPECT_LE(cancel->geometry().bottom() + 1 + 20, overlay->card()->height());
}

TEST_F(ConfirmationOverlayTest, TheCardHoldsEveryLineOfAWrappedMessage)
{
    ConfirmationRequest wordy = deleteRequest();
    wordy.message
        = QStringLiteral("Your saved library, settings and statistics will be kept in a recovery folder on this "
                         "computer before replacement. Cloud data and sign-in credentials won't be changed. "
                         "Sync stays paused until you review it.");
    ConfirmationOverlay* overlay = present(wordy);
    for (QLabel* label : overlay->card()->findChildren<QLabel*>())
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << qPrintable(label->text());
}

TEST_F(ConfirmationOverlayTest, TheConfirmButtonIsTheTextColourWithTheCardColourOnIt)
{
    ConfirmationOverlay* overlay = present();
    const QImage image = window.snapshot();
    const QPoint corner = overlay->confirmButton()->mapTo(&window, QPoint(6, 20));
    EXPECT_TRUE(sameColour(image.pixelColor(corner), Theme::text(), 4));
}

TEST_F(ConfirmationOverlayTest, DismissingRemovesTheOverlay)
{
    QPointer<ConfirmationOverlay> overlay = present();
    overlay->dismiss();
    EXPECT_TRUE(overlay->isDismissed());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(overlay.isNull());
}

TEST_F(ConfirmationOverlayTest, FadesInAndOutOverAMomentWhenMotionIsAllowed)
{
    motion.setReduceMotion(false);
    QPointer<ConfirmationOverlay> overlay = present();
    EXPECT_NE(overlay->graphicsEffect(), nullptr);
    // Once faded in, the overlay draws without the effect.
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay->graphicsEffect() == nullptr; }, 2000));
    overlay->dismiss();
    EXPECT_FALSE(overlay.isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay.isNull(); }, 1000));
}
