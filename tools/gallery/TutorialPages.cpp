// Gallery pages of the guided tutorial: the spotlight over the popover at each step that
// shows a card, and the two floating panels of its last step.

#include "Gallery.h"
#include "SamplePopover.h"

#include "Models/VelmoraJSON.h"
#include "Services/TutorialManager.h"
#include "Views/MenuBar/tutorial/CelebrationView.h"
#include "Views/MenuBar/tutorial/FloatingTutorialHelper.h"

#include <QVBoxLayout>

namespace {

// The sample popover with the tutorial at `step`; the tutorial ends with the page, so that
// no other page shows it.
class TutorialPage : public SamplePopover {
public:
    explicit TutorialPage(int step)
        : SamplePopover([](const QString& folder) {
            writeSampleFile(folder, QStringLiteral("data.json"), VelmoraJSON::encode(sampleLibrary()));
        })
    {
        TutorialManager& tutorial = TutorialManager::shared();
        AppState::setShared(&state());
        tutorial.start();
        while (tutorial.currentStep() < std::min(step, 2))
            tutorial.next();
        if (step >= 3 && step <= 5)
            popover()->setScreen(PopoverScreen::newShortcut());
        while (tutorial.currentStep() < step)
            tutorial.next();
    }
    ~TutorialPage() override
    {
        TutorialManager::shared().skip();
        AppState::setShared(nullptr);
    }
};

QWidget* buildPanels(Appearance)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(30, 20, 30, 24);
    column->setSpacing(10);
    column->addWidget(galleryCaption(QStringLiteral("Helper, at the bottom centre of the screen")));
    column->addWidget(new FloatingTutorialHelper({QStringLiteral("/hello")}, [] {}), 0, Qt::AlignHCenter);
    column->addSpacing(14);
    column->addWidget(galleryCaption(QStringLiteral("Celebration, in the middle of the screen")));
    column->addWidget(new CelebrationView, 0, Qt::AlignHCenter);
    page->setFixedWidth(400);
    return page;
}

const GalleryPageRegistration step0(
    QStringLiteral("tutorial-step-1-logo"), [](Appearance) { return new TutorialPage(0); });
const GalleryPageRegistration step1(
    QStringLiteral("tutorial-step-2-card"), [](Appearance) { return new TutorialPage(1); });
const GalleryPageRegistration step2(
    QStringLiteral("tutorial-step-3-add"), [](Appearance) { return new TutorialPage(2); });
const GalleryPageRegistration step3(
    QStringLiteral("tutorial-step-4-trigger"), [](Appearance) { return new TutorialPage(3); });
const GalleryPageRegistration step4(
    QStringLiteral("tutorial-step-5-expansion"), [](Appearance) { return new TutorialPage(4); });
const GalleryPageRegistration step5(
    QStringLiteral("tutorial-step-6-save"), [](Appearance) { return new TutorialPage(5); });
const GalleryPageRegistration step6(
    QStringLiteral("tutorial-step-7-try"), [](Appearance) { return new TutorialPage(6); });
const GalleryPageRegistration panels(QStringLiteral("tutorial-panels"), &buildPanels);

} // namespace
