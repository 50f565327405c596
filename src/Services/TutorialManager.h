#pragma once

#include "Services/OnboardState.h"
#include "Services/TutorialStep.h"

#include <QHash>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <functional>
#include <optional>

// The state machine of the eight-step guided tutorial. It never starts by itself: the status
// menu and the settings screen start it. Other parts report what the user did (a screen
// change, a saved shortcut, an expansion) and the tutorial moves on or ends. The floating
// panels and the browser are reached through presenters the application installs.
class TutorialManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* storageKey = "velmora_onboarded";

    struct Presenters {
        // Shows the helper panel asking the user to type one of `triggers`.
        std::function<void(const QStringList& triggers)> showHelper;
        std::function<void()> showCelebration;
        // Orders out whichever panel is on screen.
        std::function<void()> closePanel;
        // Opens the chat web site in the default browser.
        std::function<void()> openChatSite;
    };

    static TutorialManager& shared();
    void setPresenters(Presenters presenters);
    // The triggers of the open library in library order, nothing while no library is open.
    void setTriggerSource(std::function<std::optional<QStringList>()> source);

    bool isActive() const { return m_isActive; }
    int currentStep() const { return m_currentStep; }
    const QHash<QString, QRect>& targetFrames() const { return m_targetFrames; }
    const std::optional<QString>& savedTrigger() const { return m_savedTrigger; }
    // The current step; an empty centred step past the last one.
    TutorialStep step() const;

    OnboardState onboardState() const;
    void setOnboardState(const OnboardState& state);

    // The example trigger for a new shortcut while the tutorial runs: "/hello", or "/hello2",
    // "/hello3", ... avoiding every trigger of the library (compared in lower case).
    QString exampleTrigger() const;
    static QString exampleTrigger(const QStringList& avoiding);
    // The library's first trigger, "/fix" when there is none.
    QString firstTrigger() const;
    // The triggers the helper panel offers when no shortcut was saved during the tutorial:
    // the library's first five; "/fix" and "/explain" without a library.
    QStringList getUserTriggers() const;

    void start();
    // Starts the tutorial after `seconds`, giving the popover time to show its main list.
    void startAfter(double seconds);
    void next();
    void skip();
    void complete();

    // The popover reports every change of its screen by the screen's tag ("main",
    // "newShortcut", ...).
    void notifyScreenChanged(const QString& screenTag);
    void notifyShortcutSaved(const QString& trigger);
    void notifyExpansion();
    // Stores a target's frame in global coordinates, on a later turn of the event loop so
    // that the published frames never change while views are being laid out.
    void registerFrame(const QString& id, const QRect& frame);

Q_SIGNALS:
    void isActiveChanged(bool active);
    void currentStepChanged(int step);
    void targetFramesChanged();

private:
    void setActive(bool active);
    void setStep(int step);
    void closePanel();
    void openChatSiteAndShowHelper();
    // Ends the current run: every delayed action of it is dropped.
    void renewRun();
    // Runs `work` after `seconds`, unless the run that scheduled it has ended by then.
    void afterInThisRun(double seconds, std::function<void()> work);
    QStringList libraryTriggers() const;

    bool m_isActive = false;
    int m_currentStep = 0;
    QHash<QString, QRect> m_targetFrames;
    std::optional<QString> m_savedTrigger;
    Presenters m_presenters;
    std::function<std::optional<QStringList>()> m_triggerSource;
    quint64 m_run = 0;
    // The last step celebrates the first expansion of its run only.
    bool m_expansionSeen = false;
};
