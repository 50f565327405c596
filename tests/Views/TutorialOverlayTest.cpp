#include "LibraryEditing.h"
#include "LibraryFixtures.h"
#include "ManualMotionSettings.h"
#include "ManualScheduler.h"
#include "Painting.h"
#include "Persistence/StorageTestSupport.h"

#include "App/State/AppState.h"
#include "Services/TutorialManager.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/Components/SymbolButton.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/list/MainListHeader.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "Views/MenuBar/tutorial/TutorialOverlay.h"
#include "Views/MenuBar/tutorial/TutorialTooltip.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Position = TutorialStep::TooltipPosition;

// The spotlight over a real popover, with a library of one shortcut.
class TutorialOverlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        state = std::make_unique<AppState>(*store);
        ASSERT_TRUE(editLibrary(*state, [](UserData& d) {
            d.shortcuts = {LibraryFixtures::shortcut(
                QStringLiteral("00000000-0000-4000-8000-000000000001"), QStringLiteral("/sig"))};
        }));
        AppState::setShared(state.get());
        popover = std::make_unique<MenuBarPopover>(
            *state, PopoverScreen::main(), [] {}, nullptr, &toast);
        ASSERT_TRUE(showActive(*popover));
        settle();
    }

    void TearDown() override
    {
        popover.reset();
        TutorialManager::shared().skip();
        AppState::setShared(nullptr);
    }

    // Lets the screens appear and their frames reach the tutorial.
    void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        scheduler.runDue();
    }

    void goTo(int step)
    {
        TutorialManager& tutorial = TutorialManager::shared();
        tutorial.start();
        while (tutorial.currentStep() < std::min(step, 2))
            tutorial.next();
        if (step >= 3 && step <= 5)
            NotificationCenter::instance().post(Notifications::velmoraNewShortcut);
        while (tutorial.currentStep() < step)
            tutorial.next();
        settle();
    }

    TutorialOverlay* overlay() const { return popover->tutorialOverlay(); }
    ShortcutFormView* form() const { return qobject_cast<ShortcutFormView*>(popover->currentScreenWidget()); }
    MainListView* list() const { return qobject_cast<MainListView*>(popover->currentScreenWidget()); }

    // A click where the user would click, delivered to whatever is on top there.
    void clickAt(const QWidget* widget, QPoint local = {-1, -1})
    {
        if (local == QPoint(-1, -1))
            local = widget->rect().center();
        const QPoint inPopover = widget->mapTo(popover.get(), local);
        QWidget* target = popover->childAt(inPopover);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(popover.get(), inPopover));
        settle();
    }

    // A point on the dimmed area, clear of the card and of any hole.
    QPoint dimmedPoint() const
    {
        const QRect card = overlay()->tooltip()->geometry();
        return card.top() > overlay()->height() / 2 ? QPoint(4, 4) : QPoint(4, overlay()->height() - 4);
    }

    void pressEscape()
    {
        QTest::keyClick(popover->windowHandle(), Qt::Key_Escape);
        settle();
    }

    ManualScheduler scheduler;
    // Geometry is checked where it settles, without glides in between.
    ManualMotionSettings motion{true};
    ToastManager toast;
    TempDir dir;
    StorageTest::ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MenuBarPopover> popover;
};

} // namespace

TEST(TutorialTooltipPlacement, StaysInsideTheOverlayNextToItsTarget)
{
    const QSizeF size(340, 560);
    const qreal th = 170;
    auto at = [&](const QRectF& target, Position position) {
        return TutorialOverlay::computeTooltipPos(target, position, size, th);
    };
    EXPECT_EQ(at(QRectF(10, 100, 0, 20), Position::below), QPointF(147, 100 + 20 + 12 + 85));
    EXPECT_EQ(at(QRectF(330, 100, 0, 20), Position::below).x(), 193);
    // Without room on the side asked for, the card goes to the other side instead of
    // covering the target; without room on either, it is kept on screen.
    EXPECT_EQ(at(QRectF(100, 540, 40, 20), Position::below).y(), 540 - 12 - 85);
    EXPECT_EQ(at(QRectF(100, 10, 40, 20), Position::above).y(), 10 + 20 + 12 + 85);
    EXPECT_EQ(at(QRectF(100, 150, 40, 260), Position::above).y(), 85 + 8);
    EXPECT_EQ(at(QRectF(100, 400, 40, 20), Position::above).y(), 400 - 12 - 85);
    EXPECT_EQ(at(QRectF(100, 400, 40, 20), Position::center), QPointF(170, 280));
    EXPECT_EQ(TutorialOverlay::computeTooltipPos(std::nullopt, Position::below, size, th), QPointF(170, 280));
    // Too narrow for both bounds: the right one wins.
    EXPECT_EQ(TutorialOverlay::computeTooltipPos(QRectF(0, 0, 10, 10), Position::below, QSizeF(200, 560), th).x(),
        200 - 135 - 12);
}

TEST_F(TutorialOverlayTest, ShowsOnlyWhileTheTutorialRunsInThePopover)
{
    EXPECT_FALSE(overlay()->isVisible());
    goTo(0);
    EXPECT_TRUE(overlay()->isVisible());
    EXPECT_EQ(overlay()->tooltip()->counterText(), QStringLiteral("1 / 7"));
    goTo(7);
    EXPECT_FALSE(overlay()->isVisible()) << "the last step waits in another application";
    TutorialManager::shared().skip();
    EXPECT_FALSE(overlay()->isVisible());
}

TEST_F(TutorialOverlayTest, TheHoleSurroundsTheTargetAndMissingTargetsDimEverything)
{
    goTo(2);
    const QWidget* add = list()->header()->addButton();
    const QRect target(overlay()->mapFromGlobal(add->mapToGlobal(QPoint(0, 0))), add->size());
    EXPECT_EQ(overlay()->hole(), QRectF(target).adjusted(-8, -6, 8, 6));
    EXPECT_TRUE(overlay()->showsRing());

    goTo(6);
    EXPECT_TRUE(overlay()->hole().isEmpty());
    EXPECT_FALSE(overlay()->showsRing());
    const QPointF offCentre = QRectF(overlay()->tooltip()->geometry()).center() - QRectF(overlay()->rect()).center();
    EXPECT_LE(offCentre.manhattanLength(), 1);
}

TEST_F(TutorialOverlayTest, ADimmedClickMovesReadingStepsOnAndIsSwallowedOtherwise)
{
    goTo(0);
    clickAt(overlay(), dimmedPoint());
    EXPECT_EQ(TutorialManager::shared().currentStep(), 1);
    // The first card is only pointed at: a click on it moves on and opens nothing.
    int edits = 0;
    QObject context;
    NotificationCenter::instance().observe(
        Notifications::velmoraEditShortcut, &context, [&](const QVariant&) { ++edits; });
    clickAt(overlay(), overlay()->hole().center().toPoint());
    EXPECT_EQ(TutorialManager::shared().currentStep(), 2);
    EXPECT_EQ(edits, 0);
    clickAt(overlay(), dimmedPoint());
    EXPECT_EQ(TutorialManager::shared().currentStep(), 2);
}

TEST_F(TutorialOverlayTest, ClicksInsideTheHoleReachTheControlBeneath)
{
    goTo(5);
    ShortcutFormView* shown = form();
    ASSERT_NE(shown, nullptr);
    // Cancel lies under the dim: the click stays there.
    clickAt(shown->cancelButton());
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("newShortcut"));
    EXPECT_EQ(TutorialManager::shared().currentStep(), 5);

    clickAt(shown->saveButton());
    EXPECT_EQ(state->userData().shortcuts.size(), 2);
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
    EXPECT_EQ(TutorialManager::shared().currentStep(), 6);
}

TEST_F(TutorialOverlayTest, TheCardsButtonsMoveOnSkipOrComplete)
{
    TutorialManager& tutorial = TutorialManager::shared();
    goTo(0);
    clickAt(overlay()->tooltip()->primaryButton());
    EXPECT_EQ(tutorial.currentStep(), 1);
    clickAt(overlay()->tooltip()->secondaryButton());
    EXPECT_FALSE(tutorial.isActive());

    goTo(2);
    EXPECT_FALSE(overlay()->tooltip()->primaryButton()->isVisible()) << "the add step waits for the form";
    clickAt(overlay()->tooltip()->closeButton());
    EXPECT_FALSE(tutorial.isActive());

    goTo(6);
    clickAt(overlay()->tooltip()->secondaryButton());
    EXPECT_FALSE(tutorial.isActive());
    EXPECT_TRUE(tutorial.onboardState().tutorialCompleted);
}

TEST_F(TutorialOverlayTest, EscapeEndsTheTutorialBeforeThePopoverSeesIt)
{
    int closes = 0;
    QObject context;
    NotificationCenter::instance().observe(
        Notifications::velmoraClosePopover, &context, [&](const QVariant&) { ++closes; });
    goTo(3);
    ASSERT_NE(form(), nullptr);
    ASSERT_TRUE(form()->triggerField()->lineEdit()->hasFocus());
    pressEscape();
    EXPECT_FALSE(TutorialManager::shared().isActive());
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("newShortcut")) << "the form keeps what was typed";
    EXPECT_EQ(closes, 0);

    // With the tutorial over, Escape is the form's again.
    pressEscape();
    EXPECT_EQ(popover->screen().tag(), QStringLiteral("main"));
}

TEST_F(TutorialOverlayTest, AQuestionOverTheSpotlightAnswersEscapeFirst)
{
    goTo(1);
    state->requestConfirmation(
        {QStringLiteral("Delete?"), std::nullopt, QStringLiteral("Delete"), std::nullopt, true, {}});
    settle();
    pressEscape();
    EXPECT_FALSE(state->pendingConfirmation());
    EXPECT_TRUE(TutorialManager::shared().isActive());
    pressEscape();
    EXPECT_FALSE(TutorialManager::shared().isActive());
}

TEST_F(TutorialOverlayTest, WithReducedMotionTheRingRestsAndTheCardJumps)
{
    goTo(3);
    EXPECT_EQ(overlay()->ringOpacity(), TutorialOverlay::ringRestOpacity);
    TutorialManager::shared().next();
    const QPointF expected = TutorialOverlay::computeTooltipPos(overlay()->hole().adjusted(8, 6, -8, -6),
        Position::above, overlay()->size(), overlay()->tooltip()->cardHeight());
    EXPECT_EQ(QRectF(overlay()->tooltip()->geometry()).center().toPoint(), expected.toPoint());
}

TEST_F(TutorialOverlayTest, AnOverlayFadingOutTakesNoMoreClicksUnlessTheTutorialComesBack)
{
    motion.setReduceMotion(false);
    goTo(0);
    const QPoint dim = overlay()->mapTo(popover.get(), dimmedPoint());
    ASSERT_EQ(popover->childAt(dim), overlay());
    TutorialManager::shared().skip();
    EXPECT_NE(popover->childAt(dim), overlay());
    TutorialManager::shared().start();
    EXPECT_TRUE(overlay()->isVisible());
    EXPECT_EQ(popover->childAt(dim), overlay());
}
