#pragma once

#include "Services/TutorialManager.h"
#include "Views/MenuBar/tutorial/TutorialPanels.h"

#include <QSettings>

// A tutorial of the test's own, walked to its last step (the user tries the shortcut in
// another application), whose panels are put on screen as the application does.
struct TutorialAtLastStep {
    TutorialAtLastStep()
    {
        QSettings().remove(QLatin1String(TutorialManager::storageKey));
        tutorial.setPresenters(panels.presenters([] {}));
        tutorial.start();
        while (tutorial.currentStep() < 7)
            tutorial.next();
    }

    TutorialManager tutorial;
    TutorialPanels panels{tutorial};
};
