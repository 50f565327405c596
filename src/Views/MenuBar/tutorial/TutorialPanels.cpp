#include "Views/MenuBar/tutorial/TutorialPanels.h"

#include "Utilities/Scheduler.h"
#include "Views/MenuBar/tutorial/CelebrationView.h"
#include "Views/Components/FloatingWindow.h"
#include "Views/MenuBar/tutorial/FloatingTutorialHelper.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// The usable area of the main screen; none on a desktop without screens.
std::optional<QRect> visibleArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? std::optional(screen->availableGeometry()) : std::nullopt;
}

} // namespace

TutorialPanels::TutorialPanels(TutorialManager& tutorial, QObject* parent)
    : QObject(parent)
    , m_tutorial(tutorial)
{
}

TutorialPanels::~TutorialPanels()
{
    closePanel();
}

TutorialManager::Presenters TutorialPanels::presenters(std::function<void()> openChatSite)
{
    QPointer<TutorialPanels> self(this);
    TutorialManager::Presenters presenters;
    presenters.showHelper = [self](const QStringList& triggers) {
        if (self)
            self->showHelper(triggers);
    };
    presenters.showCelebration = [self] {
        if (self)
            self->showCelebration();
    };
    presenters.closePanel = [self] {
        if (self)
            self->closePanel();
    };
    presenters.openChatSite = std::move(openChatSite);
    return presenters;
}

void TutorialPanels::showHelper(const QStringList& triggers)
{
    if (!FloatingWindow::available()) {
        closePanel();
        return;
    }
    QPointer<TutorialPanels> self(this);
    auto* helper = new FloatingTutorialHelper(triggers, [self] {
        if (self)
            self->m_tutorial.skip();
    });
    QPoint origin;
    if (const std::optional<QRect> area = visibleArea()) {
        const QSize size = FloatingTutorialHelper::panelSize;
        origin = QPoint(area->x() + (area->width() - size.width()) / 2,
            area->y() + area->height() - helperBottomMargin - size.height());
    }
    present(helper, origin);
}

void TutorialPanels::showCelebration()
{
    closePanel();
    if (!FloatingWindow::available())
        return;
    auto* celebration = new CelebrationView;
    QPoint origin;
    if (const std::optional<QRect> area = visibleArea()) {
        const QSize size = CelebrationView::panelSize;
        origin = area->topLeft() + QPoint((area->width() - size.width()) / 2, (area->height() - size.height()) / 2);
    }
    present(celebration, origin);
    Scheduler::current().after(celebrationSeconds, celebration, [celebration] { celebration->hide(); });
}

void TutorialPanels::present(QWidget* panel, const QPoint& origin)
{
    closePanel();
    panel->move(origin);
    if (!FloatingWindow::show(*panel)) {
        // Later, so that what was scheduled for the panel still finds it, and then nothing.
        panel->deleteLater();
        return;
    }
    m_panel = panel;
}

void TutorialPanels::closePanel()
{
    if (!m_panel)
        return;
    m_panel->hide();
    m_panel->deleteLater();
    m_panel.clear();
}
